// The desktop services the windows use: alerts, confirmations, file and folder choosers, opening an address
// and showing a file in the file manager. The application uses Qt's (and the desktop's file manager over
// D-Bus); tests install a recorder, so no test blocks in a modal loop.
#pragma once

#include <QString>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace QuilmPrint {

class Desktop {
public:
    virtual ~Desktop() = default;

    virtual void alert(QWidget* parent, const QString& title, const QString& text) = 0;
    // True when the user chose `accept`.
    virtual bool confirm(QWidget* parent, const QString& title, const QString& text, const QString& accept,
                         const QString& reject) = 0;
    // Photos and folders; empty when cancelled.
    virtual std::vector<std::filesystem::path> choosePhotos(QWidget* parent, const QString& prompt) = 0;
    virtual std::optional<std::filesystem::path> chooseFolder(QWidget* parent, const QString& prompt) = 0;
    // False when the desktop has no program that takes the address.
    virtual bool openURL(const QUrl& url) = 0;
    // Shows the file in the desktop's file manager, or else opens its folder. `refused` runs when neither
    // could be done, perhaps later: the file manager answers over D-Bus.
    virtual void reveal(const std::filesystem::path& file, std::function<void()> refused) = 0;

    // The one in use: Qt's unless a test installed another.
    static Desktop& shared();
    static void install(std::unique_ptr<Desktop> desktop);
};

// Opens the address; where the desktop opens nothing, an alert says so and gives the address, so that it can
// be opened by hand.
void openOrTell(QWidget* parent, const QUrl& url);
// Shows the file in the file manager; where neither that nor its folder opens, an alert gives the folder.
void revealOrTell(QWidget* parent, const std::filesystem::path& file);

} // namespace QuilmPrint
