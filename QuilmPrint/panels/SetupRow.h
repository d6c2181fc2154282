// One row of the printer set-up sheet: a CUPS queue already on the photo driver, or a printer found on the
// network, with the one control that moves it forward (connect it, install its driver, pick it for printing).
// What a row says and offers is a plain function of its values, so the tables can be read and tested without
// a window; the widget only shows those answers and calls the action the sheet handed it.
#pragma once

#include "PrintKit/printers/PrinterSetup.h"
#include "QuilmPrint/model/ModelRecords.h"

#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

namespace QuilmPrint {

class ChipButton;
class ElidedLabel;
class ProgressBar;
class Spinner;
class SymbolView;

// What a row's trailing control does when used.
enum class RowAction { none, use, connect, download, reopen, supportPage };

// The trailing control of a row.
struct RowControl {
    enum class Kind { nothing, button, progress, spinner };
    Kind kind = Kind::nothing;
    QString text;           // button label
    bool prominent = false; // filled with the active colour, else an outlined chip
    bool enabled = true;
    bool busy = false; // a spinner takes the label's place
    QString help;      // hover help; empty: none
    RowAction action = RowAction::none;
    double progress = 0; // progress: the fraction done

    static RowControl button(QString text, RowAction action, bool prominent = false, QString help = {});
    static RowControl bar(double fraction);
    static RowControl spinning();

    friend bool operator==(const RowControl&, const RowControl&) = default;
};

// The hover help of the buttons that fetch the maker's installer.
QString installHelp();
// "드라이버 받는 중 42%": whole percents, never rounded up, so 100 appears only when the download is done.
QString downloadingText(double fraction);

// The line and the control of a driver installation under way, shared by both kinds of row. A found printer
// is connected by itself once its driver is in place, a model is not; a found printer's install buttons are
// prominent, a model's plain.
QString installText(const DriverInstall& install, bool connectsWhenDone);
RowControl installControl(const std::optional<DriverInstall>& install, bool prominent,
                          const QString& reopenHelp);

struct SetupRowValues {
    QString title;
    PrintKit::SetupStatus status;
    bool isConnecting = false;
    bool isCurrent = false;
    std::optional<DriverInstall> install;

    friend bool operator==(const SetupRowValues&, const SetupRowValues&) = default;
};

namespace SetupRows {
QString statusText(const SetupRowValues& row);
QColor statusColour(const PrintKit::SetupStatus& status);
RowControl control(const SetupRowValues& row);
} // namespace SetupRows

// What the sheet does for each control; an empty function does nothing.
struct RowActions {
    std::function<void()> connect;
    std::function<void()> download;
    std::function<void()> reopen;
    std::function<void()> supportPage;
    std::function<void(const std::string&)> use;
};

// The rounded plate under a row, and the trailing control that both kinds of row share.
class SetupRowFrame : public QWidget {
    Q_OBJECT
public:
    explicit SetupRowFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// The trailing place of a row: a chip button, a progress bar 80 wide or a small spinner, whichever the
// control asks for; nothing at all for none.
class RowControlView : public QWidget {
    Q_OBJECT
public:
    explicit RowControlView(QWidget* parent = nullptr);
    void set(const RowControl& control);
    const RowControl& control() const { return control_; }

    ChipButton* button() const { return button_; }
    ProgressBar* progressBar() const { return progress_; }
    Spinner* spinner() const { return spinner_; }

signals:
    void triggered(RowAction action);

private:
    RowControl control_;
    ChipButton* button_;
    ProgressBar* progress_;
    Spinner* spinner_;
};

// The lines under a title: wraps onto at most two lines and elides what does not fit in them.
class StatusLines : public QWidget {
    Q_OBJECT
public:
    explicit StatusLines(int maximumLines, QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return text_; }
    void setColour(const QColor& colour);
    QColor colour() const { return colour_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QStringList lines(int width) const;

    int maximumLines_;
    QString text_;
    QColor colour_;
};

class SetupRow : public SetupRowFrame {
    Q_OBJECT
public:
    explicit SetupRow(QWidget* parent = nullptr);
    void set(const SetupRowValues& values, RowActions actions);
    const SetupRowValues& values() const { return values_; }

    ElidedLabel* titleLabel() const { return title_; }
    StatusLines* statusLabel() const { return status_; }
    RowControlView* controlView() const { return control_; }

private:
    void act(RowAction action);

    SetupRowValues values_;
    RowActions actions_;
    SymbolView* symbol_;
    ElidedLabel* title_;
    StatusLines* status_;
    RowControlView* control_;
};

// Calls the action's function of `actions` with what it needs from `queue`.
void runRowAction(RowAction action, const RowActions& actions, const std::string& queue = {});

} // namespace QuilmPrint
