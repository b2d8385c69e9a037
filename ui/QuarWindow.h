// The main window and the controller of everything the user does: it takes
// a dropped, opened or imported WAV file into the engine, reports a failed load, keeps
// the label and the two buttons in step with the engine, reloads the
// remembered file, plays the wave (Wave > Play) and sends the wave dump, and
// keeps every edit of the big view's wave as a step of the bank's undo stack. Its
// controls (the outlets), its File and Wave menus and the actions they
// trigger come from QuarWindow.ui.
#pragma once

#include "Engine.h"
#include "PlaySettings.h"
#include "ViewEdit.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class BankActions;
class HarmonicsView;
struct BankSlot;
class QMimeData;
class KeyboardPlay;
class SendToMenu;
class WavePreview;
class WaveTools;
class WaveReadout;

namespace Ui {
class QuarWindow;
}

// The path of the last dropped (or opened) file, exactly as the file system
// spells it, zero-terminated: room for 299 bytes. All zero until a drop
// names a file; reload reads it.
extern char s_szFileName[300];

class QuarWindow : public QWidget
{
    Q_OBJECT

public:
    explicit QuarWindow(QWidget* parent = nullptr);
    ~QuarWindow() override;

    // The drag-destination side, called from Qt's drag events.
    Qt::DropAction draggingEntered(const QMimeData* info);
    bool performDragOperation(const QMimeData* info);
    void concludeDragOperation(const QMimeData* info);
    // A file list as a drop brings it (text/uri-list), taken as its drop
    // would be: the command line's files end here.
    void takeDroppedFileList(const QByteArray& uriList) { takeFileList(uriList); }
    // The files a file manager's Open With names: a .syx bank opens in the
    // bank panel, anything else is taken as a drop of it.
    void openCommandLineFiles(const QByteArray& uriList);
    // Once a logout or a shutdown (SIGTERM, SIGHUP) is noted: the bank's
    // unsaved changes are kept for the next start, and closing asks nothing.
    void keepBankIfEnded();

public slots:
    void reloadClicked();
    void sendClicked();
    // File > Open...: the chosen file is taken as a drop of that one path.
    void openTriggered();
    // Wave > Play: the loaded wave at the chosen note (C3 unless Play
    // Settings... says otherwise) while Ctrl+P is held, at least 2 s. It
    // changes nothing the window shows or remembers but the status line.
    void playTriggered();
    // File > Import Audio...: any audio file, fitted and saved as a 128-sample
    // WAV file, which is then taken as a drop of it.
    void importTriggered();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // An unsaved bank is never closed in silence.
    void closeEvent(QCloseEvent* event) override;

private:
    void awakeFromNib();
    void registerForDraggedTypes(const QStringList& types);
    bool isRegisteredDrag(const QMimeData* info) const;
    bool takesPartIn(const QDropEvent* event) const;
    void takeFileList(const QByteArray& uriList);
    void loadFileList(const QByteArray& uriList);  // takeFileList's load itself
    void takePath(const QString& path);
    QString lastFolder() const;
    void loadRememberedFile();
    void sendTo(const std::optional<std::string>& portTitle);
    void sayLoaded(const LoadFacts& facts);
    // A bank slot opened in the big view: as a successful drop leaves the
    // window, Reload still tied to the remembered file.
    void showSlot(const BankSlot& slot, int waveNumber);
    void openSlot(const BankSlot& slot, int waveNumber);  // showSlot's, itself
    // The big view's wave and all the window says of it, and back: what an
    // undo step of the view keeps.
    ViewState viewState() const;
    void setViewState(const ViewState& state);
    // Runs `change` (a load, a reload, a slot opened) and, should it replace
    // an edited wave, makes that one undo step called `what`.
    void replaceView(const QString& what, const std::function<void()>& change);
    // The view's wave becomes `wave`, edited, as one undo step.
    void editView(const std::array<std::int16_t, 128>& wave, const QString& what);
    // A change already made to the view's wave (a stroke, a harmonic's
    // drag) as one undo step: `before` is the wave it began on.
    void recordEdit(const std::array<std::int16_t, 128>& before, const QString& what);
    void markEdited(bool edited);
    // The harmonics under the big view, hidden until Wave > Harmonics.
    void addHarmonicsView();
    // While Play plays the view's wave, it hears each change.
    void waveChanged();

    std::unique_ptr<Ui::QuarWindow> m_ui;
    QStringList m_draggedTypes;
    Qt::DropAction m_dragOperation = Qt::IgnoreAction;
    std::unique_ptr<WavePreview> m_preview;
    QElapsedTimer m_playing;
    bool m_playHeld = false;      // by its shortcut's keys
    PlaySettings m_playSettings;  // for the session
    SendToMenu* m_sendTo;
    KeyboardPlay* m_keyboard;
    WaveReadout* m_readout;
    BankActions* m_bank;
    WaveTools* m_tools;
    HarmonicsView* m_harmonics = nullptr;
    bool m_viewEdited = false;   // the view's wave changed since it was loaded
    bool m_playingView = false;  // Play plays the view's wave, not a slot's
    std::string m_viewOrigin;    // where the big view's wave came from
};
