// The settings store and the options dialog: texts kept exactly, what "Aceptar" stores, what leaving keeps.
#include "core/settings/LineSettings.h"
#include "core/settings/SettingsStore.h"
#include "gui/dialogs/frmOpciones.h"
#include "support/EditorKit.h"

namespace
{
// The five options as the store holds them ("-" for a key never stored), and as the program holds them.
QString stored()
{
    QStringList values;
    for (const QString key : {"COM/Port", "COM/Baud", "COM/RTS", "PGM/DY1", "PGM/DY2"})
        values << testenv::doubles().settings.GetSetting(key.section(u'/', 0, 0), key.section(u'/', 1), "-");
    return values.join(u'|');
}
QString held(const LineSettings& line)
{
    return QStringList{line.port, line.baud, line.rts ? "True" : "False", line.dy1, line.dy2}.join(u'|');
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void init() { testenv::reset(dir); }

    // Reading fills in what the store lacks with the defaults and writes nothing; every text comes back character
    // for character, and only the exact text "True" turns RTS on.
    void store()
    {
        const platform::SettingsStore& store = testenv::doubles().settings;
        QVERIFY(testenv::writeFile(store.location(), "[PGM]\nDY2=07\n"));
        QCOMPARE(held(loadLineSettings(store)), QStringLiteral("2|9600|False|200|07"));
        QCOMPARE(testenv::readFile(store.location()), QByteArray("[PGM]\nDY2=07\n"));
        for (const QString text :
             {"05", " 9600 ", "", "@Variant(x)", "\"a\";b#c=d", "puerto ñ", "True", "true", "True "}) {
            QVERIFY(saveLineSettings(store, {text, text, false, text, text}) && store.SaveSetting("COM", "RTS", text));
            QCOMPARE(held(loadLineSettings(store)),
                     QStringList({text, text, text == "True" ? "True" : "False", text, text}).join(u'|'));
        }
    }

    // A store that is there but cannot be read is told once at start-up, before the port's error; the window
    // then holds the defaults.
    void unreadableStoreAtStartUp()
    {
#ifdef Q_OS_WIN
        QSKIP("the store is the registry on Windows: there is no file that could be unreadable");
#endif
        testenv::Doubles& doubles = testenv::doubles();
        const QString folder = dir.filePath(QStringLiteral("carpeta"));
        QVERIFY(QDir().mkpath(folder));
        doubles.settings = platform::SettingsStore::inFile(folder);
        doubles.prompter.answers = {MsgAnswer::Ok, MsgAnswer::Ok};
        FrmMain window(doubles.services());
        QCOMPARE(held(window.lineSettings()), QStringLiteral("2|9600|False|200|05"));
        const auto& boxes = doubles.prompter.shown;
        QCOMPARE(boxes.size() == 2 ? boxes[0].title + u'|' + boxes[0].text + u'|' + boxes[1].title : QString(),
                 "Opciones|No se pudieron leer las Opciones guardadas:\r" + folder +
                     " es una carpeta\rSe usan los valores por omision.|Puerto Serie");
    }

    // The dialog shows what the program holds; "Aceptar" stores all five exactly as shown or typed, with no
    // completion ("11" is not "110", "1 " not "10"); "Cancelar" (as closing) changes and stores nothing. A store
    // that cannot be written is said after "Aceptar", with where it is; the program holds the values all the same.
    void optionsDialog_data()
    {
        // steps: as EditorKit's run() takes them
        // box: title|text of what is said, before the store's place
        const testenv::Table<QString, QString, QString, QString> row;
        const QString before = QStringLiteral("/dev/ttyUSB0|14400|True|0200|5"), none = QStringLiteral("-|-|-|-|-");
        const QString typed = QStringLiteral("/dev/ttyUSB1|11|False|1 |");
        row("unchanged", "cmdOK", before, before, "");
        row("typed", "cboPort /dev/ttyUSB1;cboBaud 11;chkRTS;cboWNT 1 ;cboChar ;cmdOK", typed, typed, "");
        row("Cancelar", "cboPort 7;chkRTS;cboChar 90;Command2", before, none, "");
        row("store cannot be written", "cmdOK", before, none,
            "Opciones de Programa|No se pudieron grabar las Opciones\rSe usaran hasta cerrar el programa|");
    }
    void optionsDialog()
    {
        auto [steps, heldAfter, storedAfter, box] = testenv::Table<QString, QString, QString, QString>::fetch();
        testenv::Doubles& doubles = testenv::doubles();
        if (!box.isEmpty()) {
            QVERIFY(testenv::writeFile(dir.filePath("blocker"), "not a folder"));
            doubles.settings = platform::SettingsStore::inFile(dir.filePath("blocker/Tivor.conf"));
            doubles.prompter.answers = {MsgAnswer::Ok};
        }
        LineSettings line{"/dev/ttyUSB0", "14400", true, "0200", "5"};
        testenv::onNextModal([steps](QWidget* dlg) {
            if (!editorkit::run(*dlg, steps))
                dlg->close();
        });
        QCOMPARE(showOptionsDialog(nullptr, line, doubles.settings, doubles.prompter), steps.endsWith(u"cmdOK"));
        QCOMPARE(held(line) + " # " + stored(), heldAfter + " # " + storedAfter);
        const auto said = doubles.prompter.shown.value(0);
        QCOMPARE(said.title + '|' + said.text + '|' + said.detail + (said.icon == MsgIcon::Critical ? "|1" : ""),
                 box.isEmpty() ? "||" : box + doubles.settings.location() + "|1");
        QVERIFY(testenv::noUnexpectedPrompts());
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
