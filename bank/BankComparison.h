// Two banks of wave dump messages held against each other, wave number by
// wave number: what Verify makes of the waves a synth sends back, and what
// qwdump compare says of two banks.
#pragma once

#include "SyxFile.h"

#include <map>
#include <string>
#include <vector>

struct BankComparison
{
    enum Verdict {
        kSame,
        kDiffers,
        kMissing,  // in the reference only
        kExtra,    // in the other bank only
    };
    // Every wave number either bank holds. Of a wave given twice, the last
    // counts, as an instrument keeps the last one it is sent.
    std::map<int, Verdict> waves;

    bool Matches() const;
    // One line, e.g. "31 of 32 waves on the synth match the bank; wave 104
    // differs": `other` says where the compared waves are ("on the synth",
    // "in b.syx"), `reference` what they are held against, `missing` what
    // one wave and several of the reference alone are ("did not come back").
    std::string Summary(const std::string& other, const std::string& reference,
                        const std::pair<std::string, std::string>& missing) const;
};

BankComparison CompareBanks(const std::vector<SysexMessage>& reference, const std::vector<SysexMessage>& other);

// What Verify makes of the waves a synth sent back: each wave of `bank` held
// against the last copy of it that came back. The synth's other waves are
// left out: the bank never held them.
BankComparison VerifyReturned(const std::vector<SysexMessage>& bank, const std::vector<SysexMessage>& returned);
// Its one line, as the window says it.
std::string VerifySummary(const BankComparison& verified);
