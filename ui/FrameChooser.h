// The question before a wavetable is fitted: how large its frames are, and
// which of them to take, over the picture of one frame. File > Import
// Audio... takes one frame; Bank > Import Wavetable... a list of them, as
// qwdump fit --frames takes it.
#pragma once

#include "WaveFit.h"

#include <QString>

#include <cstdint>
#include <vector>

class QWidget;
struct WaveFitModule;

// Fits `source` with frames of `frameSize` samples (0: as the file says),
// every frame kept to choose from.
bool FitEveryFrame(const WaveFitModule& module, const QString& source, std::int64_t frameSize, FittedTable& table,
                   std::string& error);

// Which frame of `table` (fitted by FitEveryFrame), and how large its
// frames are: a spin box from 1 to the last frame, over that frame's
// picture, and the frame size beside it, first the fit's proposal when it
// has one. A new frame size fits the file again. With `taken`, a field for
// the frames to take as well, which become *taken (empty: all, or 32 spread
// evenly). Returns the frame's index, or -1 when cancelled; `table` is then
// the table it was taken from.
int ChooseFrame(QWidget* parent, const WaveFitModule& module, const QString& source, FittedTable& table,
                std::vector<std::int64_t>* taken = nullptr);

// Bank > Import Wavetable...'s question, when `source` is a table or looks
// like one: its frame size and frames go into `request`. False when
// cancelled; a file that does not fit is left for the fit that follows to
// say why.
bool ChooseTableFrames(QWidget* parent, const QString& source, FitRequest& request);
