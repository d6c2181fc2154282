// A desktop that records what the windows asked of it and answers from a script, so no test waits in a
// modal loop.
#pragma once

#include "QuilmPrint/shared/Desktop.h"

#include <QStringList>
#include <deque>

struct RecordingDesktop : QuilmPrint::Desktop {
    struct Asked {
        QString kind, title, text, accept, reject;
    };
    std::vector<Asked> asked;
    std::deque<bool> confirmations;              // answers to confirm(); none left: reject
    std::vector<std::filesystem::path> photos;   // what choosePhotos() answers
    std::optional<std::filesystem::path> folder; // what chooseFolder() answers
    std::vector<QUrl> opened;
    std::vector<std::filesystem::path> revealed;
    void alert(QWidget*, const QString& title, const QString& text) override {
        asked.push_back({"alert", title, text, {}, {}});
    }
    bool confirm(QWidget*, const QString& title, const QString& text, const QString& accept,
                 const QString& reject) override {
        asked.push_back({"confirm", title, text, accept, reject});
        if (confirmations.empty())
            return false;
        const bool answer = confirmations.front();
        confirmations.pop_front();
        return answer;
    }
    std::vector<std::filesystem::path> choosePhotos(QWidget*, const QString& prompt) override {
        asked.push_back({"photos", prompt, {}, {}, {}});
        return photos;
    }
    std::optional<std::filesystem::path> chooseFolder(QWidget*, const QString& prompt) override {
        asked.push_back({"folder", prompt, {}, {}, {}});
        return folder;
    }
    bool refuses = false; // a desktop that opens nothing: no browser, no file manager
    bool openURL(const QUrl& url) override {
        opened.push_back(url);
        return !refuses;
    }
    void reveal(const std::filesystem::path& file, std::function<void()> refused) override {
        revealed.push_back(file);
        if (refuses)
            refused();
    }
    // Installs a fresh recorder and returns it (owned by Desktop).
    static RecordingDesktop& install() {
        auto recorder = std::make_unique<RecordingDesktop>();
        RecordingDesktop& ref = *recorder;
        QuilmPrint::Desktop::install(std::move(recorder));
        return ref;
    }
};
