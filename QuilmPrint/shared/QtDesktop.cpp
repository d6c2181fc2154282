#include "QuilmPrint/shared/QtDesktop.h"

#include "QuilmPrint/shared/Controls.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTreeView>

namespace QuilmPrint {

namespace {

std::filesystem::path toPath(const QString& file) {
    return std::filesystem::path(file.toStdString());
}

// The box's symbol painted in the warning colour, and a width that keeps a Korean sentence on one or two
// lines instead of a narrow column.
void dress(QMessageBox* box) {
    constexpr int side = 40;
    QPixmap symbol(side * 2, side * 2);
    symbol.setDevicePixelRatio(2);
    symbol.fill(Qt::transparent);
    {
        QPainter painter(&symbol);
        paintSymbol(painter, Symbol::exclamationTriangle, QRectF(2, 2, side - 4, side - 4), Theme::warn(),
                    1.2);
    }
    box->setIconPixmap(symbol);
    if (auto* title = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
        title->setFont(Theme::font(13.5, QFont::DemiBold));
    // The text carries file names, server answers and release notes: shown as written, never as markup
    // (Qt would take "<b>" for formatting and make addresses into links it opens itself).
    // Selectable, so that an address or a path it gives can be copied.
    if (auto* text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        text->setTextFormat(Qt::PlainText);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(340, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(),
                      0, 1, grid->columnCount());
}

// The file list's "type" column in Korean. Qt's own provider names a folder in English and a file by the
// desktop's description in the locale's language, which would be German in a Korean dialog on a German
// desktop. The file list asks from its own thread, so this only looks at the name.
class KoreanFileTypes : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir())
            return QStringLiteral("폴더");
        const QString suffix = info.suffix().toUpper();
        if (suffix == "JPG" || suffix == "JPEG")
            return QStringLiteral("JPEG 이미지");
        if (suffix == "TIF" || suffix == "TIFF")
            return QStringLiteral("TIFF 이미지");
        if (suffix == "PNG")
            return QStringLiteral("PNG 이미지");
        if (suffix == "HEIC" || suffix == "HEIF")
            return QStringLiteral("HEIF 이미지");
        return suffix.isEmpty() ? QStringLiteral("파일") : suffix + QStringLiteral(" 파일");
    }
};

// One for the whole run: the file list's thread may still ask it while a closed dialog is torn down.
QAbstractFileIconProvider* koreanFileTypes() {
    static auto* provider = new KoreanFileTypes;
    return provider;
}

} // namespace

QMessageBox* QtDesktop::makeAlert(QWidget* parent, const QString& title, const QString& text) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(text);
    box->setDefaultButton(box->addButton(QStringLiteral("확인"), QMessageBox::AcceptRole));
    dress(box);
    return box;
}

QMessageBox* QtDesktop::makeConfirmation(QWidget* parent, const QString& title, const QString& text,
                                         const QString& accept, const QString& reject,
                                         QPushButton** accepting) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(text);
    QPushButton* yes = box->addButton(accept, QMessageBox::AcceptRole);
    QPushButton* no = box->addButton(reject, QMessageBox::RejectRole);
    // Enter must not do the irreversible thing by accident.
    box->setDefaultButton(no);
    box->setEscapeButton(no);
    dress(box);
    if (accepting)
        *accepting = yes;
    return box;
}

void QtDesktop::alert(QWidget* parent, const QString& title, const QString& text) {
    QPointer<QMessageBox> box = makeAlert(parent, title, text);
    box->exec();
}

bool QtDesktop::confirm(QWidget* parent, const QString& title, const QString& text, const QString& accept,
                        const QString& reject) {
    QPushButton* yes = nullptr;
    QPointer<QMessageBox> box = makeConfirmation(parent, title, text, accept, reject, &yes);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->exec();
    const bool accepted = box && box->clickedButton() == yes;
    delete box.data();
    return accepted;
}

PhotoFileDialog::PhotoFileDialog(QWidget* parent, const QString& prompt) : QFileDialog(parent, prompt) {
    setOption(QFileDialog::DontUseNativeDialog);
    setIconProvider(koreanFileTypes());
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({QStringLiteral("사진 (*.jpg *.jpeg *.png *.tif *.tiff *.heic *.heif *.JPG *.JPEG *.PNG "
                                   "*.TIF *.TIFF *.HEIC *.HEIF)"),
                    QStringLiteral("모든 파일 (*)")});
    setLabelText(QFileDialog::Accept, QStringLiteral("열기"));
    setLabelText(QFileDialog::Reject, QStringLiteral("취소"));
    // The Pictures folder is named even where it was never made; Qt would then open the working folder.
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    setDirectory(QFileInfo(pictures).isDir() ? pictures : QDir::homePath());
    // Qt's default size and column widths cut the type and date short. The name takes what the other
    // columns leave; they follow their contents as the file details arrive.
    if (auto* list = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = list->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 0.9 : QSize(900, 560);
    resize(QSize(900, 560).boundedTo(room));
}

std::optional<QString> PhotoFileDialog::typedFolder() const {
    // A folder chosen in the list never reaches the name field in this mode (Qt fills it with the chosen
    // files only), so a folder named there was typed.
    const auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString text = field ? field->text().trimmed() : QString();
    QStringList names;
    if (text.startsWith(QLatin1Char('"'))) {
        const QStringList parts = text.split(QLatin1Char('"'));
        for (qsizetype i = 1; i < parts.size(); i += 2)
            names << parts[i];
    } else if (!text.isEmpty()) {
        names << text;
    }
    for (QString name : names) {
        if (name == QLatin1String("~") || name.startsWith(QLatin1String("~/")))
            name = QDir::homePath() + name.mid(1);
        const QFileInfo info(directory().absoluteFilePath(name));
        if (info.isDir())
            return info.absoluteFilePath();
    }
    return std::nullopt;
}

void PhotoFileDialog::accept() {
    if (const std::optional<QString> folder = typedFolder()) {
        setDirectory(*folder);
        if (auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            field->clear();
            // The completions of the typed path are done with: left open, they would cover the file types
            // and take the next click.
            if (QCompleter* completer = field->completer())
                completer->popup()->hide();
        }
        return;
    }
    const QStringList files = selectedFiles();
    // Nothing picked: the dialog reports the folder it shows; keep the usual behaviour then.
    const bool onlyTheFolderShown = files.size() == 1 && QDir(files.front()) == directory();
    bool allExist = !files.isEmpty();
    for (const QString& file : files)
        allExist = allExist && QFileInfo::exists(file);
    if (!allExist || onlyTheFolderShown) {
        QFileDialog::accept();
        return;
    }
    QDialog::accept();
}

std::vector<std::filesystem::path> QtDesktop::choosePhotos(QWidget* parent, const QString& prompt) {
    PhotoFileDialog dialog(parent, prompt);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    std::vector<std::filesystem::path> chosen;
    for (const QString& file : dialog.selectedFiles())
        chosen.push_back(toPath(file));
    return chosen;
}

FolderFileDialog::FolderFileDialog(QWidget* parent, const QString& prompt) : QFileDialog(parent, prompt) {
    setOption(QFileDialog::DontUseNativeDialog);
    setIconProvider(koreanFileTypes());
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
    setLabelText(QFileDialog::Accept, QStringLiteral("선택"));
    setLabelText(QFileDialog::Reject, QStringLiteral("취소"));
    setDirectory(QDir::homePath());
}

std::optional<std::filesystem::path> QtDesktop::chooseFolder(QWidget* parent, const QString& prompt) {
    FolderFileDialog dialog(parent, prompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return toPath(dialog.selectedFiles().front());
}

bool QtDesktop::openURL(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void QtDesktop::reveal(const std::filesystem::path& file, std::function<void()> refused) {
    const QString path = QString::fromStdString(file.string());
    // The desktop's file manager selects the file in its folder; without one, the folder alone is opened.
    auto openFolder = [folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath()), refused] {
        if (!QDesktopServices::openUrl(folder) && refused)
            refused();
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [openFolder](QDBusPendingCallWatcher* finished) {
                         if (finished->isError())
                             openFolder();
                         finished->deleteLater();
                     });
}

} // namespace QuilmPrint
