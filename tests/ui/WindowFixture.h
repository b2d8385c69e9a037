// A QuarWindow on the offscreen platform over the in-memory MIDI backend,
// with message-box alerts, fresh engine and remembered path, and helpers to
// drop files on it and to count the repaints of its wave view.
#pragma once

#include "AlertCatcher.h"
#include "MemoryBackend.h"
#include "QuarWindow.h"
#include "TempDir.h"

#include <QByteArray>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// What the user and the engine see of the window's state.
struct WindowSnapshot
{
    QString label;
    bool sendEnabled;
    bool reloadEnabled;
    std::string fileName;
    std::vector<std::int16_t> wave;
    std::int32_t loaded;
};
bool operator==(const WindowSnapshot& a, const WindowSnapshot& b);
void PrintTo(const WindowSnapshot& s, std::ostream* os);

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds and shows the window (the destinations must be set up first).
    QuarWindow& Window();

    QLabel& Label() { return Child<QLabel>("lblWaveInfo"); }
    QComboBox& PortPopup() { return Child<QComboBox>("popMIDIPort"); }
    QComboBox& WavePopup() { return Child<QComboBox>("popWaveNum"); }
    QPushButton& SendButton() { return Child<QPushButton>("btnSend"); }
    QPushButton& ReloadButton() { return Child<QPushButton>("btnReload"); }
    QWidget& View() { return Child<QWidget>("viewWave"); }

    // A drag carrying `uriList` as text/uri-list enters and is dropped; true
    // when the drop was accepted as a copy.
    bool DropUriList(const QByteArray& uriList);
    bool DropFiles(const std::vector<std::string>& paths);

    // Lets pending repaints happen; returns how many the view got since the
    // last call.
    int ViewRepaints();

    // A WAV file of 128 samples, sample i = i * step + offset.
    std::string WriteWave(const std::string& name, int step, int offset = 0);
    static std::vector<std::int16_t> WaveOf(const std::string& path);
    static std::vector<std::int16_t> EngineWave();

    WindowSnapshot State();

    template <typename T>
    T& Child(const char* name)
    {
        T* child = Window().findChild<T*>(name);
        if (child == nullptr)
            throw std::runtime_error(std::string("no control named ") + name);
        return *child;
    }

    MemoryBackend* midi = nullptr;
    TempDir dir;
    std::unique_ptr<AlertCatcher> alerts;

private:
    std::unique_ptr<QuarWindow> m_window;
    std::unique_ptr<QObject> m_paintCounter;
    int m_repaints = 0;
};
