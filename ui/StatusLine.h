// The window's status line: a word after every action (what a load, a send,
// Play or an import came to) and, at its right, the sample under the
// pointer. A send is said once its completion comes back, whichever thread
// that happens on. A word too long for the line is elided, whole in the
// tooltip.
#pragma once

#include <QStatusBar>

#include <memory>

class CEngine;
class QLabel;
class SysexOutcome;
struct LoadFacts;

class StatusLine : public QStatusBar
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget* parent = nullptr);
    ~StatusLine() override;

    // Stays until the next word.
    void say(const QString& text);
    // The word as the line shows it: elided when it does not fit.
    QString shown() const;
    // The readout at the right; empty clears it.
    void showPointer(const QString& text);
    QString pointer() const;

    // What the load of `path` into `engine` came to, with the system's
    // reason when the file could not be opened. The pointer's readout, of
    // the wave before, is cleared.
    void sayLoaded(const QString& path, const CEngine& engine, const LoadFacts& facts);

    // For a send of wave `wave` to `port`: it says that the send is under
    // way, and what became of it once `outcome` learns.
    std::shared_ptr<SysexOutcome> sendOutcome(const QString& wave, const QString& port);
    // The send of wave `wave` found no port `port` (none chosen when empty).
    void sayNotFound(const QString& wave, const QString& port);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect messageRect() const;
    void updateToolTip();

    struct Bridge;
    QLabel* m_pointer;
    std::shared_ptr<Bridge> m_bridge;
};
