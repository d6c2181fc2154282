// Qt's own words in the window: the file dialogs of "사진 추가…" and "PDF로 내보내기…" read Korean, also on a
// desktop whose locale is German.
#include "QuilmPrint/shared/QtDesktop.h"
#include "QuilmPrint/shared/Translations.h"
#include "TestSupport.h"
#include "shared/WindowTestSupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QRegularExpression>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace QuilmPrint;

namespace {

// What a person reads of a text: without the mnemonic marks, the shortcut after the tab and the file
// patterns of a filter, which are no words.
QString readable(QString text) {
    text = text.section('\t', 0, 0);
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    text.remove('&');
    text.remove(QRegularExpression(QStringLiteral("\\([^)]*\\*[^)]*\\)")));
    return text.trimmed();
}

// The English words of a text: runs of Latin letters with a lower-case one (acronyms such as "JPEG" and
// "PDF" are no English).
QStringList englishWords(const QString& text) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z]*[a-z][A-Za-z]*"));
    QStringList words;
    for (auto match = word.globalMatch(readable(text)); match.hasNext();) {
        const QString found = match.next().captured();
        if (found.size() > 1)
            words << found;
    }
    return words;
}

// Every text of Qt's that the dialog shows or offers: labels, buttons and their tips, the filters, the file
// list's column titles and types, the sidebar's computer entry and the file list's context menu. The paths
// and file names it lists are the user's, not Qt's.
QStringList qtTextsOf(QFileDialog& dialog) {
    QStringList texts;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&dialog))
            continue;
        if (auto* label = qobject_cast<QLabel*>(widget))
            texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            texts << button->text() << button->toolTip();
    }
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < types->count(); ++i)
            texts << types->itemText(i);
    if (auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        const QAbstractItemModel* model = files->model();
        for (int column = 0; column < model->columnCount(files->rootIndex()); ++column)
            texts << model->headerData(column, Qt::Horizontal).toString();
        for (int row = 0; row < model->rowCount(files->rootIndex()); ++row)
            texts << model->index(row, 2, files->rootIndex()).data().toString();
    }
    if (auto* sidebar = dialog.findChild<QListView*>(QStringLiteral("sidebar")))
        texts << sidebar->model()->index(0, 0).data().toString(); // the computer; the home folder follows
    for (QAction* action : dialog.findChildren<QAction*>())
        texts << action->text();
    texts.removeAll(QString());
    return texts;
}

struct QtWordsTest : ::testing::Test {
    WindowTest::GermanDesktop german;
    TestSupport::TemporaryDirectory folder;
    QtWordsTest() {
        std::filesystem::create_directories(folder / "여행");
        TestSupport::writeFile(folder / "IMG_0001.jpg", std::string(3000, 'x'));
        TestSupport::writeFile(folder / "IMG_0001.xmp", "<x:xmpmeta/>");
    }

    // The dialog opened on the test folder, once its file list shows `rows` entries.
    void open(QFileDialog& dialog, int rows) {
        dialog.setDirectory(QString::fromStdString(folder.path().string()));
        dialog.resize(720, 440);
        dialog.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        listed(dialog, rows);
    }
    static void listed(QFileDialog& dialog, int rows) {
        auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_TRUE(files);
        // The file list, and then each file's type, are read on a thread of their own; generously bounded.
        const QAbstractItemModel* model = files->model();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                if (model->rowCount(files->rootIndex()) != rows)
                    return false;
                for (int row = 0; row < rows; ++row)
                    if (model->index(row, 2, files->rootIndex()).data().toString().isEmpty())
                        return false;
                return true;
            },
            10000));
    }
};

} // namespace

TEST_F(QtWordsTest, FileDialogsShowNoEnglishWordOfQts) {
    ASSERT_TRUE(Translations::installQtKorean(*qApp)) << "qtbase_ko.qm is missing (qt6-translations-l10n)";
    PhotoFileDialog photos(nullptr, "출력할 사진이나 폴더를 선택하세요");
    open(photos, 2); // the folder and the photo; the sidecar file is filtered out
    WindowTest::saveArtifact(&photos, "dialog-add-photos");
    photos.selectNameFilter("모든 파일 (*)");
    listed(photos, 3);
    const QStringList photoTexts = qtTextsOf(photos);
    for (const char* expected : {"다음에서 찾기:", "파일 이름(&N):", "파일 형식:", "열기", "취소", "폴더",
                                 "JPEG 이미지", "XMP 파일"})
        EXPECT_TRUE(photoTexts.contains(expected))
            << expected << " not in " << photoTexts.join(" | ").toStdString();
    for (const QString& text : photoTexts)
        EXPECT_EQ(englishWords(text), QStringList()) << text.toStdString();

    FolderFileDialog folders(nullptr, "PDF를 저장할 폴더를 선택하세요");
    open(folders, 1);
    WindowTest::saveArtifact(&folders, "dialog-export-folder");
    const QStringList folderTexts = qtTextsOf(folders);
    EXPECT_TRUE(folderTexts.contains("디렉터리:")) << folderTexts.join(" | ").toStdString();
    EXPECT_TRUE(folderTexts.contains("선택"));
    for (const QString& text : folderTexts)
        EXPECT_EQ(englishWords(text), QStringList()) << text.toStdString();
}
