// What the inspector's tests share: readable failure messages for Qt texts, letting queued refreshes run,
// finding controls by name, pictures of widgets and where screenshots go.
#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLayout>
#include <QString>
#include <QWidget>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace PanelTest {

// Runs what model changes queued for the views (their refreshes run once per turn of the event loop).
inline void settle() {
    for (int turn = 0; turn < 3; ++turn)
        QApplication::processEvents();
}

template <typename T> T* find(QWidget* root, const QString& name) {
    T* widget = root->findChild<T*>(name);
    if (!widget)
        throw std::runtime_error("no widget named " + name.toStdString());
    return widget;
}

// Shown, laid out and drawn at device pixel ratio 1.
inline QImage grab(QWidget* widget) {
    widget->ensurePolished();
    if (widget->layout())
        widget->layout()->activate();
    settle();
    QImage image = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1);
    return image;
}

inline void saveArtifact(QWidget* widget, const QString& name) {
    const QString folder = QStringLiteral(QUILM_SOURCE_DIR "/build/test-artifacts");
    QDir().mkpath(folder);
    grab(widget).save(folder + "/" + name + ".png");
}

} // namespace PanelTest
