// The bank model: slots 97 to 128, what each says, the messages it packs
// and the undo stack's steps over it.

#include "BankModel.h"
#include "BankEdit.h"
#include "MidiRig.h"
#include "WaveDump.h"

#include <QUndoStack>

#include <gtest/gtest.h>

namespace {

BankSlot Filled(std::int16_t level, std::string origin, BankSlot::State state = BankSlot::kChanged)
{
    BankSlot slot;
    slot.filled = true;
    for (int i = 0; i < 128; ++i)
        slot.wave[i] = static_cast<std::int16_t>(i % 2 ? level : -level);
    slot.origin = std::move(origin);
    slot.state = state;
    return slot;
}

// Each slot as the panel reads it: accessible name, display text.
std::string Shown(const BankModel& model, int slot)
{
    const QModelIndex index = model.index(slot);
    return (model.data(index, Qt::AccessibleTextRole).toString() + " | " +
            model.data(index, Qt::DisplayRole).toString())
        .toStdString();
}

TEST(BankModelTest, ThirtyTwoSlotsFromWave97SayWhereTheirWaveCameFrom)
{
    BankModel model;
    ASSERT_EQ(model.rowCount(), 32);
    model.setSlots(30, {Filled(100, "/home/u/saw.wav"), Filled(200, kFromTheSynth), Filled(300, "lost")});
    EXPECT_EQ(Shown(model, 0), "Wave 97 | 97 empty");
    EXPECT_EQ(Shown(model, 30), "Wave 127 | 127 saw.wav");
    EXPECT_EQ(Shown(model, 31), "Wave 128 | 128 from the synth");
    EXPECT_EQ(model.filledCount(), 2) << "a slot past 128 is dropped";
}

TEST(BankModelTest, MessagesAreTheFilledSlotsInWaveOrderAsTheEnginePacksThem)
{
    BankModel model;
    const BankSlot slot = Filled(1234, "a.wav");
    model.setSlots(5, {slot});
    model.setSlots(1, {Filled(-7, "b.wav")});
    const auto messages = model.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].first, 98);
    EXPECT_EQ(messages[1].first, 102);
    CEngine engine;
    std::copy(std::begin(slot.wave), std::end(slot.wave), engine.m_anWave);
    EXPECT_EQ(messages[1].second, Message(engine, 102));
    std::size_t offset = 0;
    EXPECT_EQ(WaveDump::Check(messages[1].second.data(), messages[1].second.size(), offset), "");
    // And back: the slot a message fills holds the same wave.
    EXPECT_TRUE(BankSlot::FromMessage(messages[1].second.data(), "bank.syx", BankSlot::kNone).SameWave(slot));
    EXPECT_FALSE(BankSlot::FromMessage(messages[0].second.data(), "bank.syx", BankSlot::kNone).SameWave(slot));
}

TEST(BankModelTest, EachEditIsOneUndoStepThatRestoresTheSlotsAsTheyWere)
{
    BankModel model;
    QUndoStack undo;
    undo.push(new BankEdit(model, 0, {Filled(1, "one.wav")}, "first"));
    undo.push(new BankEdit(model, 0, {Filled(2, "two.wav"), Filled(3, "three.wav")}, "second"));
    EXPECT_EQ(Shown(model, 0) + " / " + Shown(model, 1), "Wave 97 | 97 two.wav / Wave 98 | 98 three.wav");
    undo.undo();
    EXPECT_EQ(Shown(model, 0) + " / " + Shown(model, 1), "Wave 97 | 97 one.wav / Wave 98 | 98 empty");
    EXPECT_EQ(model.slotAt(0).wave[1], 1);
    undo.undo();
    EXPECT_EQ(model.filledCount(), 0);
    undo.redo();
    undo.redo();
    EXPECT_EQ(model.slotAt(1).wave[1], 3);
}

}  // namespace
