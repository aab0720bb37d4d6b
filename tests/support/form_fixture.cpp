#include "support/form_fixture.h"

#include "playback/player.h"
#include "playlist/list_view.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QUrl>

FormTest::FormTest() {
    QFile::remove(settingsFile());
    emptyTrash();
    restart();
}

FormTest::~FormTest() {
    form.reset();
    emptyTrash();
    QFile::remove(settingsFile());
}

void FormTest::restart() {
    form.reset();
    store.reset(); // as a program that ended: its last save has landed
    store = std::make_unique<IniSettingsStore>();
    auto fake = std::make_unique<FakeEngine>();
    engine = fake.get();
    form = std::make_unique<Form1>(Platform{std::move(fake), dialogs, *store, picker, dir.path(),
                                            [this] { ++endProgramCalls; },
                                            [this](const QString& folder) {
                                                foldersShown << folder;
                                                return folderOpens;
                                            },
                                            historyFile()});
    if (beforeLoad)
        beforeLoad(*engine);
    form->Form_Load();
}

QString FormTest::settingsFile() {
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Kestrelin/Kestrelin.conf");
}

QString FormTest::stored(const QString& key) {
    EXPECT_TRUE(store->waitForSaves(10000));
    QSettings file(settingsFile(), QSettings::IniFormat);
    return file.value(QStringLiteral("Thrennic/") + key).toString();
}

QString FormTest::makeFile(const QString& relative, const QByteArray& bytes) {
    const QString path = QDir(dir.path()).filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

void FormTest::drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    QWidget* target = form->ListView1->viewport();
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
}

QString FormTest::saveFailure() {
    const size_t before = dialogs.shown.size();
    form->SaveListAndOptions();
    EXPECT_TRUE(store->waitForSaves(10000));
    return dialogs.shown.size() > before ? dialogs.shown.back().text : QString();
}

QStringList FormTest::listTexts() const {
    QStringList texts;
    for (int i = 1; i <= form->ListView1->Count(); ++i)
        texts << form->ListView1->Text(i);
    return texts;
}

QStringList FormTest::playlistPaths() const {
    QStringList paths;
    const PlaylistRef& list = form->WMP->currentPlaylist();
    for (int i = 0; list && i < list->count(); ++i)
        paths << list->Item(i)->sourceURL();
    return paths;
}

QString FormTest::currentPath() const {
    const Media& item = form->WMP->currentMedia();
    return item ? item->sourceURL() : QString();
}

int FormTest::selectedEntry() const {
    const QList<int> chosen = form->ListView1->SelectedEntries();
    return chosen.size() == 1 ? chosen.first() : -chosen.size();
}

static QString trashDir() {
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Trash");
}

QStringList FormTest::trashedNames() {
    const auto names = [](const QString& folder) {
        return QDir(trashDir() + folder)
            .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    };
    QStringList files = names(QStringLiteral("/files"));
    const QString suffix = QStringLiteral(".trashinfo");
    QStringList infoOf;
    for (const QString& info : names(QStringLiteral("/info")))
        infoOf << (info.endsWith(suffix) ? info.chopped(suffix.size()) : info);
    // A file and its info go and come back together; one without the other shows.
    for (QString& file : files)
        if (!infoOf.removeOne(file))
            file += QStringLiteral(" (without its info)");
    for (const QString& orphan : infoOf)
        files << orphan + suffix + QStringLiteral(" (without its file)");
    return files;
}

QString FormTest::trashedFrom(const QString& name) {
    QSettings info(trashDir() + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"),
                   QSettings::IniFormat);
    return QUrl::fromPercentEncoding(info.value(QStringLiteral("Trash Info/Path")).toByteArray());
}

void FormTest::emptyTrash() {
    QDir(trashDir()).removeRecursively();
}

void FormTest::showActive() {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
}

void FormTest::pressKey(QWidget* where, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    // Key events are stamped in milliseconds, and a press stamped with the very
    // time of the release before it is a held key's repeat: a new press comes later.
    static QElapsedTimer sinceLastKey;
    if (sinceLastKey.isValid()) {
        EXPECT_TRUE(QTest::qWaitFor([] { return sinceLastKey.elapsed() > 1; }));
    }
    where->setFocus();
    QTest::keyClick(where->window()->windowHandle(), key, modifiers);
    sinceLastKey.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Timer2->isActive(); }, 5000));
}

void ThreeFilesTest::dropThree(const QString& extension) {
    a = makeFile("music/a." + extension);
    b = makeFile("music/b." + extension);
    c = makeFile("music/c." + extension);
    drop({a, b, c});
}

void FormTest::hearPlaying() {
    engine->startPlayback();
    engine->playOn(1.0);
}
