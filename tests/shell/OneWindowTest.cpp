// One window per session, with real processes: launches of the program without its window (the instance
// probe) claim the window through the program's own code, while the first one is kept busy, after it crashed
// and left its socket behind, while somebody else answers on the socket, and with no runtime folder or one
// that is not the user's alone.
#include "QuilmPrint/shell/AppDelegate.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using QuilmPrint::AppDelegate;

namespace {

// One launch, in the test's own runtime folder, so that only the launches of one test meet.
class Launch {
public:
    // An empty `runtime` leaves the launch without one; `temporary` is its temporary folder.
    Launch(const QString& runtime, const QStringList& arguments, const QString& temporary = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty())
            environment.insert("XDG_RUNTIME_DIR", runtime);
        if (!temporary.isEmpty())
            environment.insert("TMPDIR", temporary);
        process_.setProcessEnvironment(environment);
        process_.start(QStringLiteral(QUILM_INSTANCE_PROBE), arguments);
        EXPECT_TRUE(process_.waitForStarted(10000)) << process_.errorString().toStdString();
    }
    ~Launch() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }
    // The lines written so far, after waiting up to `ms` for `count` of them.
    QStringList lines(int count, int ms = 20000) {
        QDeadlineTimer deadline(ms);
        while (output_.count('\n') < count && !deadline.hasExpired()) {
            if (!process_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))) &&
                process_.state() == QProcess::NotRunning)
                break;
            output_ += process_.readAllStandardOutput();
        }
        output_ += process_.readAllStandardOutput();
        return QString::fromUtf8(output_).split('\n', Qt::SkipEmptyParts);
    }
    QString role() { return lines(1).value(0); }
    // The files a first launch took, once it has been told to end (its input closed) and has ended.
    QStringList filesTaken() {
        process_.closeWriteChannel();
        EXPECT_TRUE(process_.waitForFinished(20000));
        QStringList files;
        for (const QString& line : lines(1 << 20, 0))
            if (line.startsWith("file "))
                files << QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(5).toUtf8()));
        files.sort();
        return files;
    }
    bool runsAfter(int ms) { return !process_.waitForFinished(ms); }
    int exitCode() {
        process_.waitForFinished(20000);
        return process_.exitCode();
    }
    void crash() {
        process_.kill(); // SIGKILL: nothing of the probe runs any more, its socket stays behind
        process_.waitForFinished(10000);
    }

private:
    QProcess process_;
    QByteArray output_;
};

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

QStringList socketsIn(const QString& folder) {
    return QDir(folder).entryList({"*.socket"}, QDir::System | QDir::Files);
}

QStringList entriesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Whether a second launch hands its file to the first, both with `runtime` and `temporary`.
bool handsOver(const QString& runtime, const QString& temporary) {
    Launch first(runtime, {}, temporary);
    EXPECT_EQ(first.role(), "first");
    return Launch(runtime, {"/p/a.jpg"}, temporary).role() == "handed-over";
}

// Folders that must not hold the lock and the socket: another user's (nobody's), one the group or the
// others may write, and a symbolic link, here to a folder that would otherwise serve.
struct Unsafe {
    uid_t owner;
    mode_t mode;
    bool link = false;
};
const Unsafe unsafeFolders[] = {
    {65534, 0700}, {::geteuid(), 0770}, {::geteuid(), 0707}, {::geteuid(), 0700, true}};

void make(const QString& path, const Unsafe& kind, const QString& linkTarget) {
    const QByteArray name = QFile::encodeName(path);
    if (kind.link)
        ASSERT_EQ(::symlink(QFile::encodeName(linkTarget).constData(), name.constData()), 0);
    else
        ASSERT_TRUE(::mkdir(name.constData(), 0700) == 0 && ::chmod(name.constData(), kind.mode) == 0 &&
                    ::chown(name.constData(), kind.owner, -1) == 0);
}

struct OneWindowTest : ::testing::Test {
    QTemporaryDir runtime;
    QString file(const QString& name) const { return runtime.filePath("photos/" + name); }
};

} // namespace

TEST_F(OneWindowTest, ABusyWindowTakesEveryFileOnceAndNoSecondWindowOpens) {
    const QString release = runtime.filePath("release");
    Launch first(runtime.path(), {"--busy-until", release});
    ASSERT_EQ(first.role(), "first");
    // Three launches while the window's event loop is blocked, one of them with a file name holding a line
    // break, which a line-based hand-over would split.
    Launch a(runtime.path(), {file("a 1.jpg"), file("a2.heic")});
    Launch b(runtime.path(), {file("사진 b.jpg")});
    Launch c(runtime.path(), {file("c\nd.png")});
    // Several seconds later they still wait for the busy window: none gave up, none opened its own.
    EXPECT_TRUE(a.runsAfter(3000));
    EXPECT_TRUE(b.runsAfter(0) && c.runsAfter(0));
    TestSupport::writeFile(release.toStdString(), "");
    for (Launch* second : {&a, &b, &c}) {
        EXPECT_EQ(second->role(), "handed-over");
        EXPECT_EQ(second->exitCode(), 0);
    }
    const QStringList taken = first.filesTaken();
    EXPECT_EQ(taken, sorted({file("a 1.jpg"), file("a2.heic"), file("사진 b.jpg"), file("c\nd.png")}));
}

TEST_F(OneWindowTest, TheSocketOfACrashedWindowIsReplacedByOneWaitingLaunchThatTakesEveryFile) {
    Launch first(runtime.path(), {"--busy-until", runtime.filePath("never")});
    ASSERT_EQ(first.role(), "first");
    Launch a(runtime.path(), {file("a.jpg")});
    Launch b(runtime.path(), {file("b.jpg")});
    ASSERT_TRUE(a.runsAfter(1500) && b.runsAfter(0));
    first.crash(); // its socket stays behind, with both lists unread in it
    ASSERT_EQ(sorted({a.role(), b.role()}), (QStringList{"first", "handed-over"}));
    Launch& window = a.role() == "first" ? a : b;
    Launch later(runtime.path(), {file("c.jpg")});
    EXPECT_EQ(later.role(), "handed-over");
    EXPECT_EQ(window.filesTaken(), sorted({file("a.jpg"), file("b.jpg"), file("c.jpg")}));
    EXPECT_TRUE(socketsIn(runtime.path()).isEmpty()); // a window that ends takes its socket along
}

TEST_F(OneWindowTest, ASocketWithSomebodyBehindItIsNeverRemoved) {
    // Someone listens on the socket without holding the window's lock: a connection attempt reaches it, so
    // the socket is not a crashed window's, and the launch leaves its list there instead of taking its place.
    Launch probe(runtime.path(), {});
    ASSERT_EQ(probe.role(), "first");
    const QString path = runtime.filePath(socketsIn(runtime.path()).value(0));
    probe.filesTaken(); // ends it, and its socket with it
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    Launch launch(runtime.path(), {"--patience", "1500", file("z.jpg")});
    EXPECT_EQ(launch.role(), "unanswered");
    EXPECT_EQ(launch.exitCode(), 1);
    EXPECT_TRUE(QFileInfo::exists(path));
    ::close(listener);
}

TEST(HandOverMessageTest, CarriesAnyPathWholeAndIsReadOnlyOnceComplete) {
    const std::vector<std::filesystem::path> files{"/p/a b.jpg", "/p/줄\n바꿈.png", "/p/c"};
    const QByteArray message = AppDelegate::handOverMessage(files);
    EXPECT_EQ(AppDelegate::readHandOver(message), files);
    for (qsizetype cut = 0; cut < message.size(); ++cut)
        EXPECT_EQ(AppDelegate::readHandOver(message.left(cut)), std::nullopt) << cut;
    EXPECT_EQ(AppDelegate::readHandOver(AppDelegate::handOverMessage({})),
              std::vector<std::filesystem::path>{});
}

TEST_F(OneWindowTest, TheLockAndTheSocketLiveOnlyInAFolderOfTheUsersAlone) {
    // Without a runtime folder the launches meet in one made for the user alone in the temporary folder,
    // which every user shares.
    QTemporaryDir probed;
    ::chmod(QFile::encodeName(probed.path()).constData(), 01777);
    ASSERT_TRUE(handsOver({}, probed.path()));
    ASSERT_EQ(entriesIn(probed.path()).size(), 1);
    const QString name = entriesIn(probed.path())[0];
    struct stat made {};
    ASSERT_EQ(::lstat(QFile::encodeName(probed.filePath(name)).constData(), &made), 0);
    EXPECT_TRUE(S_ISDIR(made.st_mode) && made.st_uid == ::geteuid() && (made.st_mode & 07777) == 0700);
    for (const Unsafe& kind : unsafeFolders) {
        if (kind.owner != ::geteuid() && ::geteuid() != 0)
            continue; // only root gives a folder away
        SCOPED_TRACE(testing::Message() << kind.owner << ' ' << std::oct << kind.mode << ' ' << kind.link);
        // A runtime folder of this kind is passed over for the user's own; the user's own of this kind too
        // (somebody else made its name first), and each launch opens its window and receives nothing.
        QTemporaryDir shared, place, target;
        const QString runtime = place.filePath("run"), own = shared.filePath(name);
        make(runtime, kind, target.path());
        EXPECT_TRUE(handsOver(runtime, shared.path()));
        ASSERT_TRUE(QDir(own).removeRecursively());
        make(own, kind, target.path());
        EXPECT_FALSE(handsOver(runtime, shared.path()));
        EXPECT_EQ(entriesIn(shared.path()), QStringList{name});
        EXPECT_TRUE(entriesIn(runtime).isEmpty() && entriesIn(own).isEmpty() &&
                    entriesIn(target.path()).isEmpty());
    }
}
