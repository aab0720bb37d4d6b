#include "platform/dialogs.h"
#include "platform/faithful_path.h"
#include "platform/open_dialog.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Two files side by side: one whose name is Latin-1 "café.wav" (the byte E9,
// not valid UTF-8), and its sibling named as Qt reads the first: "caf\uFFFD.wav".
class FaithfulNamesTest : public FormTest {
  protected:
    void SetUp() override {
        folder = QFile::encodeName(dir.path()) + "/music";
        ::mkdir(folder.constData(), 0700);
        lossy = folder + "/caf\xE9.wav";
        sibling = QFile::decodeName(folder + "/caf\xEF\xBF\xBD.wav");
        writeRaw(lossy);
        makeFile("music/caf\uFFFD.wav");
    }
    static void writeRaw(const QByteArray& path) {
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "RIFF", 4), 4);
        ::close(fd);
    }
    static bool exists(const QByteArray& path) { return ::access(path.constData(), F_OK) == 0; }
    void dropBytes(const QByteArray& uriList) {
        QMimeData data;
        data.setData(QStringLiteral("text/uri-list"), uriList);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(form->ListView1->viewport(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->ListView1->viewport(), &dropped);
    }
    QByteArray folder, lossy;
    QString sibling;
};

TEST_F(FaithfulNamesTest, ADroppedNameThatIsNotUtf8IsRefusedByNameAndTheSiblingIsUntouched) {
    dropBytes("file://" + QUrl::toPercentEncoding(QFile::decodeName(folder), "/") +
              "/caf%E9.wav\r\n");
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_TRUE(playlistPaths().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.shown.empty(); }, 5000));
    EXPECT_TRUE(dialogs.shown[0].text.contains("caf\\xe9.wav"))
        << dialogs.shown[0].text.toStdString();
    form->PushButton6_Click();
    EXPECT_TRUE(exists(lossy));
    EXPECT_TRUE(QFile::exists(sibling));
    EXPECT_TRUE(trashedNames().isEmpty());
}

TEST_F(FaithfulNamesTest, TheRealSiblingStillDropsAndDeletesAlone) {
    drop({sibling});
    ASSERT_EQ(playlistPaths(), QStringList({sibling}));
    form->PushButton6_Click();
    EXPECT_FALSE(QFile::exists(sibling));
    EXPECT_TRUE(exists(lossy));
}

TEST_F(FaithfulNamesTest, TheDialogAndTheRestoreRefuseANameThatCouldBeEither) {
    // What Qt's dialog or a saved playlist gives for the Latin-1 file is the
    // sibling's name: with both there, it could stand for either.
    picker.answer = {sibling};
    form->PushButton4_Click();
    EXPECT_TRUE(listTexts().isEmpty());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains(sibling));
    ASSERT_TRUE(store->waitForSaves(10000)); // the add's own save first
    {
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue("Thrennic/ListCount", "1");
        file.setValue("Thrennic/Song0", sibling);
    }
    restart();
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(exists(lossy));
    EXPECT_TRUE(QFile::exists(sibling));
}

TEST_F(FaithfulNamesTest, SamplesWhoseNamesCouldBeEitherAreLeftOut) {
    const QString program = QFile::decodeName(folder);
    ::mkdir((folder + "/Samples").constData(), 0700);
    writeRaw(folder + "/Samples/caf\xE9.wav");
    writeRaw(folder + "/Samples/caf\xEF\xBF\xBD.wav");
    writeRaw(folder + "/Samples/good.wav");
    restart();
    form.reset();
    auto fake = std::make_unique<FakeEngine>();
    engine = fake.get();
    form = std::make_unique<Form1>(Platform{std::move(fake), dialogs, *store, picker, program,
                                            [] {}, [](const QString&) { return true; }});
    form->Form_Load();
    form->PushButton1_Click();
    EXPECT_EQ(listTexts(), QStringList({"good.wav"}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
}

TEST(FaithfulPath, ShowsBadBytesEscapedAndKeepsGoodText) {
    const struct {
        QByteArray bytes;
        QString shown;
    } names[] = {
        {"/m/caf\xC3\xA9.wav", QString::fromUtf8("/m/caf\xC3\xA9.wav")},
        {"/m/caf\xE9.wav", QStringLiteral("/m/caf\\xe9.wav")},
        {"/m/\x80\x7F.wav", QStringLiteral("/m/\\x80\x7F.wav")}, // the first byte past ASCII
        {"/m/\xFF.wav", QStringLiteral("/m/\\xff.wav")},
    };
    for (const auto& name : names)
        EXPECT_EQ(showBytes(name.bytes), name.shown) << name.bytes.toStdString();
    EXPECT_TRUE(survivesDecoding("plain \xE2\x82\xAC.mp3"));
    EXPECT_FALSE(survivesDecoding("bad \xFF.mp3"));
}

// A name may hold U+FFFD in good UTF-8 (EF BF BD): it is its own name, found
// on disk as it is spelt, and no lossy namesake stands beside it.
TEST(FaithfulPath, AValidNameThatHoldsTheReplacementCharacterIsAccepted) {
    QTemporaryDir dir;
    const QString name = QDir(dir.path()).filePath(QString::fromUtf8("caf\xEF\xBF\xBD.wav"));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(isFaithfulPath(name));
    EXPECT_TRUE(isFaithfulPath(QStringLiteral("/no/such/folder/caf\uFFFD.wav")));
}

class OpenDialogTest : public FormTest {};

TEST_F(OpenDialogTest, FilesChosenFromTwoFoldersEachKeepTheirOwnFolder) {
    const QString first = makeFile("one/x.wav"), second = makeFile("two/deeper/x.wav"),
                  third = makeFile("one/y.wav");
    picker.answer = {first, second, third};
    form->PushButton4_Click();
    EXPECT_EQ(playlistPaths(), QStringList({first, second, third}));
    EXPECT_EQ(listTexts(), QStringList({"x.wav", "x.wav", "y.wav"}));
    EXPECT_EQ(commonFolder({"/a/b/c.wav", "/a/bc/d.wav"}), "/a");
    EXPECT_EQ(commonFolder({"/a/c.wav", "/b/d.wav"}), "/");
}

TEST_F(OpenDialogTest, TheRealDialogIsReadOnlySoItCanNeitherDeleteNorRename) {
    QtFilePicker real;
    bool readOnly = false, seen = false;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        seen = true;
        readOnly = shown->testOption(QFileDialog::ReadOnly);
        shown->reject();
    });
    real.pickFiles("Open File", {"All Files (*)"}, 0);
    ASSERT_TRUE(seen);
    EXPECT_TRUE(readOnly);
}

TEST_F(OpenDialogTest, MessageBoxesShowMarkupAsWritten) {
    QtDialogs real;
    Qt::TextFormat format = Qt::RichText;
    QString text;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            format = box->textFormat();
            text = box->text();
            box->accept();
        }
    });
    real.showMessage("<b>x</b><img src=y>\rnext", "Thrennic", MessageIcon::Warning);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(text, "<b>x</b><img src=y>\nnext");
}

TEST_F(OpenDialogTest, DropsAreTakenAsCopiesNeverAsMoves) {
    const QString a = makeFile("a.wav");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a)});
    QWidget* target = form->ListView1->viewport();
    QDragEnterEvent moveOnly(QPoint(5, 5), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &moveOnly);
    EXPECT_FALSE(moveOnly.isAccepted());
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    QCoreApplication::sendEvent(target, &enter);
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent proposedMove(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                            Qt::NoModifier);
    proposedMove.setDropAction(Qt::MoveAction);
    QCoreApplication::sendEvent(target, &proposedMove);
    EXPECT_TRUE(proposedMove.isAccepted());
    EXPECT_EQ(proposedMove.dropAction(), Qt::CopyAction);
    EXPECT_EQ(playlistPaths(), QStringList({a}));
}

} // namespace
