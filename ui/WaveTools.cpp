#include "WaveTools.h"

#include "Alert.h"
#include "BankEdit.h"
#include "BankModel.h"
#include "BankPanel.h"
#include "Engine.h"
#include "MonoWav.h"
#include "OutputFile.h"
#include "SlotEditing.h"

#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QUndoStack>

#include <algorithm>

namespace {

constexpr char kWavFilter[] = "WAV files (*.wav *.WAV);;All files (*)";

void Alert(const std::string& message)
{
    RunAlertPanel(message.c_str());
}

Wave16 ViewWave()
{
    Wave16 wave;
    std::copy(std::begin(s_Engine.m_anWave), std::end(s_Engine.m_anWave), wave.begin());
    return wave;
}

QMenu* MenuNamed(QMenuBar& bar, const char* name)
{
    for (QAction* action : bar.actions())
        if (action->menu() != nullptr && action->menu()->objectName() == QLatin1String(name))
            return action->menu();
    return nullptr;
}

}  // namespace

WaveTools::WaveTools(View view, BankModel& model, QUndoStack& undo, BankPanel& panel)
    : QObject(view.widget), m_view(std::move(view)), m_model(model), m_undo(undo), m_panel(panel)
{
}

void WaveTools::addMenus(QMenuBar& bar, QMenu& wave)
{
    QAction* save = wave.addAction(QStringLiteral("Save &Wave As…"), this, &WaveTools::saveWaveAs);
    save->setObjectName(QStringLiteral("actionSaveWave"));
    save->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+W")));

    // Between the Wave menu and the one after it (Bank). Alt+P: the port
    // popup's caption took M for it, the other letters being taken (Send,
    // Help, Wave, Edit).
    auto* shapes = new QMenu(QStringLiteral("Sha&pe"), &bar);
    shapes->setObjectName(QStringLiteral("menuShape"));
    const QList<QAction*> all = bar.actions();
    QAction* before = nullptr;
    for (int i = 0; i + 1 < all.size(); ++i)
        if (all[i]->menu() == &wave)
            before = all[i + 1];
    bar.insertMenu(before, shapes);
    const struct
    {
        const char* name;
        QString text;
        std::function<void(Wave16&)> how;
    } kinds[] = {
        {"actionNormalize", QStringLiteral("&Normalize"), [](Wave16& w) { Normalize(w); }},
        {"actionRemoveDc", QStringLiteral("Remove &DC"), [](Wave16& w) { RemoveDc(w); }},
        {"actionSmooth", QStringLiteral("&Smooth"), [](Wave16& w) { Smooth(w); }},
        {"actionInvert", QStringLiteral("&Invert"), [](Wave16& w) { Invert(w); }},
        {"actionReverse", QStringLiteral("&Reverse"), [](Wave16& w) { Reverse(w); }},
        {"actionShiftLeft", QStringLiteral("Shift &Left"), [](Wave16& w) { Shift(w, -1); }},
        {"actionShiftRight", QStringLiteral("Shift Ri&ght"), [](Wave16& w) { Shift(w, 1); }},
    };
    for (const auto& kind : kinds) {
        const QString what = QString(kind.text).remove('&');
        QAction* action = shapes->addAction(kind.text, this, [this, how = kind.how, what] { shape(how, what); });
        action->setObjectName(QLatin1String(kind.name));
    }

    QMenu* bank = MenuNamed(bar, "menuBank");
    if (bank == nullptr)
        return;
    QMenu* fill = bank->addMenu(QStringLiteral("&Fill Between"));
    fill->setObjectName(QStringLiteral("menuFillBetween"));
    fill->addAction(QStringLiteral("&Sample by Sample"), this, [this] { fillBetween(MorphMethod::kSamples); })
        ->setObjectName(QStringLiteral("actionFillSamples"));
    fill->addAction(QStringLiteral("&Harmonic by Harmonic"), this, [this] { fillBetween(MorphMethod::kHarmonics); })
        ->setObjectName(QStringLiteral("actionFillHarmonics"));
}

std::vector<int> WaveTools::selectedFilledSlots() const
{
    std::vector<int> chosen;
    for (const QModelIndex& index : m_panel.selectionModel()->selectedIndexes())
        if (m_model.slotAt(index.row()).filled)
            chosen.push_back(index.row());
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

// The selected slots while the bank has focus, else the big view's wave.
void WaveTools::shape(const std::function<void(Wave16&)>& how, const QString& what)
{
    if (!m_panel.hasFocus()) {
        if (s_Engine.m_bLoaded == 0)
            return Alert("There is no wave to shape: open or drop a WAV file first.");
        Wave16 wave = ViewWave();
        how(wave);
        if (wave == ViewWave())
            return emit said(QStringLiteral("%1 left the view's wave as it was").arg(what));
        m_view.change(wave, what);
        return emit said(QStringLiteral("%1 on the view's wave").arg(what));
    }
    const std::vector<int> chosen = selectedFilledSlots();
    if (chosen.empty())
        return Alert("The selected slots are empty: there is nothing to shape.");
    std::vector<BankSlot> range = m_model.slotsFrom(chosen.front(), chosen.back() - chosen.front() + 1);
    std::vector<int> changed;
    for (const int slot : chosen) {
        BankSlot& shaped = range[static_cast<std::size_t>(slot - chosen.front())];
        Wave16 wave;
        std::copy(std::begin(shaped.wave), std::end(shaped.wave), wave.begin());
        how(wave);
        if (!std::equal(wave.begin(), wave.end(), shaped.wave)) {
            std::copy(wave.begin(), wave.end(), shaped.wave);
            shaped.state = BankSlot::kChanged;
            changed.push_back(slot);
        }
    }
    if (changed.empty())
        return emit said(QStringLiteral("%1 left %2 as they were").arg(what, WavesText(chosen)));
    m_undo.push(new BankEdit(m_model, chosen.front(), std::move(range), what));
    emit said(QStringLiteral("%1 on %2").arg(what, WavesText(changed)));
}

// The empty slots between each two filled ones, from the first selected
// filled slot to the last: a filled slot in between is kept, and the runs on
// either side of it are filled towards it.
void WaveTools::fillBetween(MorphMethod method)
{
    const std::vector<int> selected = selectedFilledSlots();
    if (selected.size() < 2)
        return Alert("Select two or more filled slots to fill the empty slots between them.");
    Bank32 bank{};
    std::bitset<kBankSize> filled;
    for (int slot = selected.front(); slot <= selected.back(); ++slot) {
        const BankSlot& held = m_model.slotAt(slot);
        filled[static_cast<std::size_t>(slot)] = held.filled;
        std::copy(std::begin(held.wave), std::end(held.wave), bank[static_cast<std::size_t>(slot)].begin());
    }
    const std::bitset<kBankSize> made = FillBetween(bank, filled, method);
    if (made.none())
        return Alert("There are no empty slots between the selected ones.");
    std::vector<BankSlot> range = m_model.slotsFrom(selected.front(), selected.back() - selected.front() + 1);
    int from = selected.front();
    for (int slot = selected.front(); slot <= selected.back(); ++slot) {
        if (!made[static_cast<std::size_t>(slot)]) {
            from = slot;
            continue;
        }
        int to = slot;
        while (!filled[static_cast<std::size_t>(to)])
            ++to;
        BankSlot& between = range[static_cast<std::size_t>(slot - selected.front())];
        between.filled = true;
        const Wave16& wave = bank[static_cast<std::size_t>(slot)];
        std::copy(wave.begin(), wave.end(), between.wave);
        between.fitted = false;
        between.origin = "between " + std::to_string(WaveOfSlot(from)) + " and " + std::to_string(WaveOfSlot(to));
        between.state = BankSlot::kChanged;
    }
    m_undo.push(new BankEdit(m_model, selected.front(), std::move(range), QStringLiteral("Fill Between")));
    std::vector<int> filledIn;
    for (int slot = selected.front(); slot <= selected.back(); ++slot)
        if (made[static_cast<std::size_t>(slot)])
            filledIn.push_back(slot);
    emit said(QStringLiteral("Filled %1 between waves %2 and %3, %4")
                  .arg(WavesText(filledIn))
                  .arg(WaveOfSlot(selected.front()))
                  .arg(WaveOfSlot(selected.back()))
                  .arg(method == MorphMethod::kSamples ? "sample by sample" : "harmonic by harmonic"));
}

// Only ever to a name the user chose, written as every output file is.
void WaveTools::saveWaveAs()
{
    if (s_Engine.m_bLoaded == 0)
        return Alert("There is no wave to save: open or drop a WAV file first.");
    const QString chosen = QFileDialog::getSaveFileName(m_view.widget, QStringLiteral("Save Wave"),
                                                        QStringLiteral("wave.wav"), kWavFilter);
    if (chosen.isEmpty())
        return;
    const std::string path = QFile::encodeName(chosen).toStdString();
    const std::string bytes = MonoWavBytes(s_Engine.m_anWave, 128);
    if (std::string error; !WriteOutputFile(path, bytes.data(), bytes.size(), error))
        return Alert("The wave was not saved: " + path + ": " + error);
    emit said(QStringLiteral("Saved the wave as %1").arg(chosen));
}
