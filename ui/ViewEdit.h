// What the big view shows, as one step of the bank's undo stack: a stroke,
// a shape, or a reload or drop over an edited wave, so that no edit is ever
// lost for good. Undo and redo hand the whole state back to the window.
#pragma once

#include <QString>
#include <QUndoCommand>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

struct ViewState
{
    std::array<std::int16_t, 128> wave{};
    bool loaded = false;
    bool resampled = false;
    bool edited = false;  // changed in the window since it was loaded
    std::string origin;   // where the wave came from
    QString label;        // what lblWaveInfo says, without the edited note

    bool operator==(const ViewState& other) const
    {
        return wave == other.wave && loaded == other.loaded && resampled == other.resampled && edited == other.edited &&
               origin == other.origin && label == other.label;
    }
};

class ViewEdit : public QUndoCommand
{
public:
    using Apply = std::function<void(const ViewState&)>;

    ViewEdit(Apply apply, ViewState before, ViewState after, const QString& text)
        : QUndoCommand(text), m_apply(std::move(apply)), m_before(std::move(before)), m_after(std::move(after))
    {
    }

    void redo() override { m_apply(m_after); }
    void undo() override { m_apply(m_before); }

private:
    const Apply m_apply;
    const ViewState m_before;
    const ViewState m_after;
};
