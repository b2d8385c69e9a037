// The window under test, offscreen, over the in-memory MIDI backend: the
// globals reset, the window made once the destinations are set up, and every
// modal dialog answered from a 10 ms timer (alerts noted and dismissed, file
// dialogs given `nextFile`, questions `answer`).
#pragma once

#include "MemoryBackend.h"
#include "MessageBoxAlert.h"
#include "MidiRig.h"
#include "MonoWav.h"
#include "QuarWindow.h"
#include "TempDir.h"

#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

class WindowRig : public ::testing::Test
{
protected:
    void SetUp() override
    {
        midi = &UseOnlyBackend<MemoryBackend>();
        InstallMessageBoxAlerts();
        s_Engine = CEngine();
        std::memset(s_szFileName, 0, sizeof s_szFileName);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { Answer(); });
        m_poll.start(10);
    }
    void TearDown() override
    {
        answer = QMessageBox::Discard;
        window.reset();
        SetAlertPresenter(nullptr);
        MIDIServiceShutDown();
    }

    // Built on first use: the destinations must be set up first.
    QuarWindow& Window()
    {
        if (!window) {
            window = std::make_unique<QuarWindow>();
            window->show();
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        return *window;
    }

    // A WAV file of 128 samples, each of two bytes `fill`.
    std::string WriteWave(const std::string& name, char fill)
    {
        const std::vector<std::int16_t> samples(128, static_cast<std::int16_t>(fill * 0x101));
        return dir.Write(name, MonoWavBytes(samples.data(), 128));
    }

    MemoryBackend* midi = nullptr;
    TempDir dir;
    std::unique_ptr<QuarWindow> window;
    QStringList alerts;           // and questions, and file dialogs' titles
    QStringList questionButtons;  // the texts of each question's buttons, in order
    QString nextFile;             // typed into the next file dialog; empty: it is cancelled
    QMessageBox::StandardButton answer = QMessageBox::Cancel;  // to questions
    std::function<void()> atAlert;                             // as an alert comes up
    bool answersFileDialogs = true;                            // false: the test answers them itself

private:
    // Every alert is a box titled like the window, with plain text and "Ok",
    // never shown inside the MIDI pump.
    void Answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible())
            return;
        if (auto* files = qobject_cast<QFileDialog*>(modal); files != nullptr && answersFileDialogs) {
            alerts << files->windowTitle();
            if (nextFile.isEmpty())
                return files->reject();
            files->findChild<QLineEdit*>("fileNameEdit")->setText(nextFile);
            nextFile.clear();
            return static_cast<QDialog*>(files)->accept();
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr)
            return;
        alerts << box->text();
        EXPECT_EQ(box->windowTitle(), "Quarven Wave Dump");
        EXPECT_FALSE(MIDIServicePumping()) << "a modal alert inside the MIDI pump";
        if (box->buttons().size() != 1) {
            for (const QAbstractButton* button : box->buttons())
                questionButtons << button->text();
            return box->button(answer)->click();
        }
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->buttons().first()->text(), "Ok");
        if (atAlert)
            atAlert();
        box->buttons().first()->click();
    }

    QTimer m_poll;
};
