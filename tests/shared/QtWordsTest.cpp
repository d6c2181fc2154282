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

// The English words of what a person reads of a text (mnemonic marks and a filter's file patterns are no
// words): runs of Latin letters with a lower-case one, so that acronyms such as "JPEG" and "PDF" are none.
QStringList englishWords(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&|\\([^)]*\\*[^)]*\\)")));
    QStringList words;
    static const QRegularExpression word(QStringLiteral("[A-Za-z]*[a-z][A-Za-z]*"));
    for (auto match = word.globalMatch(text); match.hasNext();)
        if (const QString found = match.next().captured(); found.size() > 1)
            words << found;
    return words;
}

// The file list of a dialog, read on a thread of its own.
QAbstractItemModel* filesOf(QFileDialog& dialog, QModelIndex* root) {
    auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    *root = files->rootIndex();
    return files->model();
}

// Every text of Qt's that the dialog shows or offers: labels, buttons and their tips, the filters, the file
// list's column titles and types, the sidebar's computer entry and the file list's context menu. The paths
// and file names it lists are the user's, not Qt's. Each is checked to hold no English word.
QStringList qtTextsOf(QFileDialog& dialog) {
    QStringList texts;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->isVisibleTo(&dialog))
            texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->isVisibleTo(&dialog))
            texts << button->text() << button->toolTip();
    }
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; i < types->count(); ++i)
        texts << types->itemText(i);
    QModelIndex root;
    const QAbstractItemModel* files = filesOf(dialog, &root);
    for (int column = 0; column < files->columnCount(root); ++column)
        texts << files->headerData(column, Qt::Horizontal).toString();
    for (int row = 0; row < files->rowCount(root); ++row)
        texts << files->index(row, 2, root).data().toString();
    texts << dialog.findChild<QListView*>(QStringLiteral("sidebar"))->model()->index(0, 0).data().toString();
    for (QAction* action : dialog.findChildren<QAction*>())
        texts << action->text();
    texts.removeAll(QString());
    for (const QString& text : texts)
        EXPECT_EQ(englishWords(text), QStringList()) << text.toStdString();
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
    // Once the dialog's file list shows `rows` entries, each with its type; generously bounded.
    static bool listed(QFileDialog& dialog, int rows) {
        return QTest::qWaitFor(
            [&] {
                QModelIndex root;
                const QAbstractItemModel* files = filesOf(dialog, &root);
                for (int row = 0; row < rows; ++row)
                    if (files->index(row, 2, root).data().toString().isEmpty())
                        return false;
                return files->rowCount(root) == rows;
            },
            10000);
    }
    bool open(QFileDialog& dialog, int rows) {
        dialog.setDirectory(QString::fromStdString(folder.path().string()));
        dialog.resize(720, 440);
        dialog.open();
        return QTest::qWaitForWindowExposed(&dialog) && listed(dialog, rows);
    }
};

} // namespace

TEST_F(QtWordsTest, FileDialogsShowNoEnglishWordOfQts) {
    ASSERT_TRUE(Translations::installQtKorean(*qApp)) << "qtbase_ko.qm is missing (qt6-translations-l10n)";
    PhotoFileDialog photos(nullptr, "출력할 사진이나 폴더를 선택하세요");
    ASSERT_TRUE(open(photos, 2)); // the folder and the photo; the sidecar file is filtered out
    WindowTest::saveArtifact(&photos, "dialog-add-photos");
    photos.selectNameFilter("모든 파일 (*)");
    ASSERT_TRUE(listed(photos, 3));
    const QStringList photoTexts = qtTextsOf(photos);
    for (const char* expected : {"다음에서 찾기:", "파일 이름(&N):", "파일 형식:", "열기", "취소", "폴더",
                                 "JPEG 이미지", "XMP 파일"})
        EXPECT_TRUE(photoTexts.contains(expected))
            << expected << " not in " << photoTexts.join(" | ").toStdString();

    FolderFileDialog folders(nullptr, "PDF를 저장할 폴더를 선택하세요");
    ASSERT_TRUE(open(folders, 1));
    WindowTest::saveArtifact(&folders, "dialog-export-folder");
    const QStringList folderTexts = qtTextsOf(folders);
    EXPECT_TRUE(folderTexts.contains("디렉터리:") && folderTexts.contains("선택"))
        << folderTexts.join(" | ").toStdString();
}
