// Drops on the main window, the keys of the page commands, and the hint shown while no message is open.
#include "gui/editor/WindowDesktop.h"

#include "core/ports/MSComm.h"
#include "ui_FrmMain.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QShortcut>

namespace
{
// The first local file of a drop when it is one the window takes (.mnm or .txt), or "".
QString droppedFile(const QMimeData* data)
{
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return QString();
    const QString path = urls.first().toLocalFile();
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("mnm") || suffix == QLatin1String("txt") ? path : QString();
}

// The page keys: they press the page buttons, so they do exactly what a click does, questions included.
struct PageKey
{
    QKeySequence keys;
    QToolButton* Ui::FrmMain::*button;
};
const PageKey PageKeys[] = {
    {QKeySequence(Qt::Key_PageUp), &Ui::FrmMain::cmdPagUp},
    {QKeySequence(Qt::Key_PageDown), &Ui::FrmMain::cmdPagDwn},
    {QKeySequence(Qt::CTRL | Qt::Key_Home), &Ui::FrmMain::cmdPagFirst},
    {QKeySequence(Qt::CTRL | Qt::Key_End), &Ui::FrmMain::cmdPagLast},
};
} // namespace

WindowDesktop::WindowDesktop(QMainWindow& window, Ui::FrmMain& ui, const MSComm& port, Drops drops)
    : QObject(&window), m_window(window), m_ui(ui), m_port(port), m_drops(std::move(drops))
{
    m_window.setAcceptDrops(true);
    for (const PageKey& key : PageKeys) {
        QToolButton* button = m_ui.*key.button;
        auto* shortcut = new QShortcut(key.keys, &m_window);
        connect(shortcut, &QShortcut::activated, button, &QToolButton::click);
        button->setToolTip(button->toolTip() + QStringLiteral(" (") + key.keys.toString(QKeySequence::NativeText) +
                           u')');
    }
    // The text fields would take Ctrl+Home and Ctrl+End for their cursor; here they move between pages.
    m_ui.txtMensaje->installEventFilter(this);
    m_ui.txtGoto->installEventFilter(this);

    m_hint = new QLabel(m_ui.centralwidget);
    m_hint->setObjectName(QStringLiteral("lblInicio"));
    m_hint->setWordWrap(true);
    m_hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_hint->setMargin(16);
    m_hint->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_ui.centralLayout->insertWidget(m_ui.centralLayout->indexOf(m_ui.fraMensaje) + 1, m_hint);
    m_ui.fraMensaje->installEventFilter(this);
    m_window.installEventFilter(this);
    refreshHint();
}

void WindowDesktop::refreshHint()
{
    m_hint->setVisible(m_ui.fraMensaje->isHidden());
    QString text =
        QStringLiteral("<p><b>No hay ningun mensaje abierto.</b></p>"
                       "<p>Para empezar: <b>Archivo &gt; Nuevo Mensaje</b> (Ctrl+N) crea un mensaje vacio; "
                       "<b>Archivo &gt; Abrir Mensaje</b> (Ctrl+O) abre un archivo .mnm, y tambien se puede arrastrar "
                       "el archivo a esta ventana. Para armar las paginas desde un archivo de texto, cree un mensaje "
                       "nuevo y use <b>Archivo &gt; Importar Archivo de Texto</b> (una pagina por linea).</p>");
    if (!m_port.PortOpen())
        text += QStringLiteral(
            "<p><b>No se pudo abrir el puerto serie.</b> Elija el puerto del cartel en "
            "<b>Opciones &gt; Puerto de Comunicacion</b>. Para probar sin cartel, inicie el cartel virtual "
            "<b>tivor-sign</b> y elija el puerto que muestra.</p>");
    m_hint->setText(text);
}

bool WindowDesktop::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == &m_window && type == QEvent::DragEnter) {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        if (!droppedFile(enter->mimeData()).isEmpty())
            enter->acceptProposedAction();
        return true;
    }
    if (watched == &m_window && type == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = droppedFile(drop->mimeData());
        if (path.isEmpty())
            return true;
        drop->acceptProposedAction();
        // After the drop has ended: the unsaved-changes question must not hold the file manager's drag.
        // A message file opens as "Abrir Mensaje"; a text file goes into the open message as "Importar".
        QMetaObject::invokeMethod(
            this,
            [this, path] {
                if (QFileInfo(path).suffix().toLower() == QLatin1String("mnm"))
                    m_drops.openMessage(path);
                else
                    m_drops.importText(path);
            },
            Qt::QueuedConnection);
        return true;
    }
    if (watched == m_ui.fraMensaje || watched == &m_window) {
        if (type == QEvent::ShowToParent || type == QEvent::HideToParent ||
            (watched == &m_window && type == QEvent::Show))
            refreshHint();
    } else if (type == QEvent::ShortcutOverride) {
        const QKeyCombination pressed = static_cast<QKeyEvent*>(event)->keyCombination();
        for (const PageKey& key : PageKeys)
            if (key.keys[0] == pressed)
                return true; // not taken by the field: the window's shortcut runs
    }
    return QObject::eventFilter(watched, event);
}
