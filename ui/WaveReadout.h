// Reads the big wave view out without changing its drawing: the sample
// under the pointer goes to the status line, and the fitted mark has a
// tooltip saying what the wave was fitted from.
#pragma once

#include <QObject>

class StatusLine;
class WaveView;

class WaveReadout : public QObject
{
public:
    WaveReadout(WaveView& view, StatusLine& status);

    // How many samples of data the loaded wave was fitted from; 0 when it
    // was taken as is.
    void setFittedFrom(unsigned samples) { m_fittedFrom = samples; }

    // The sample under `x` of a view `width` pixels wide, 0 to 127.
    static int SampleAt(int x, int width);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool overFittedMark(const QPoint& at) const;
    void readOut(int x);

    WaveView& m_view;
    StatusLine& m_status;
    unsigned m_fittedFrom = 0;
};
