#include "BankComparison.h"

#include "WaveDump.h"

#include <algorithm>

namespace {

std::map<int, const SysexMessage*> ByWave(const std::vector<SysexMessage>& bank)
{
    std::map<int, const SysexMessage*> waves;
    for (const SysexMessage& message : bank)
        waves[WaveDump::WaveNumberOf(message.data())] = &message;
    return waves;
}

// "wave 104 differs", "waves 104 and 110 differ", "waves 97, 98 and 99 differ".
std::string Listed(const std::vector<int>& numbers, const std::string& one, const std::string& many)
{
    std::string text = numbers.size() == 1 ? "wave " : "waves ";
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0)
            text += i + 1 == numbers.size() ? " and " : ", ";
        text += std::to_string(numbers[i]);
    }
    return text + " " + (numbers.size() == 1 ? one : many);
}

}  // namespace

BankComparison CompareBanks(const std::vector<SysexMessage>& reference, const std::vector<SysexMessage>& other)
{
    BankComparison comparison;
    const auto theirs = ByWave(other);
    for (const auto& [wave, message] : ByWave(reference)) {
        const auto found = theirs.find(wave);
        comparison.waves[wave] = found == theirs.end()        ? BankComparison::kMissing
                                 : *found->second == *message ? BankComparison::kSame
                                                              : BankComparison::kDiffers;
    }
    for (const auto& [wave, message] : theirs)
        comparison.waves.try_emplace(wave, BankComparison::kExtra);
    return comparison;
}

bool BankComparison::Matches() const
{
    return std::all_of(waves.begin(), waves.end(), [](const auto& wave) { return wave.second == kSame; });
}

std::string BankComparison::Summary(const std::string& other, const std::string& reference,
                                    const std::pair<std::string, std::string>& missing) const
{
    std::vector<int> of[4];
    for (const auto& [wave, verdict] : waves)
        of[verdict].push_back(wave);
    std::string line = std::to_string(of[kSame].size()) + " of " + std::to_string(waves.size()) + " waves " + other +
                       " match " + reference;
    if (!of[kDiffers].empty())
        line += "; " + Listed(of[kDiffers], "differs", "differ");
    if (!of[kMissing].empty())
        line += "; " + Listed(of[kMissing], missing.first, missing.second);
    if (!of[kExtra].empty())
        line += "; " + Listed(of[kExtra], "is not in " + reference, "are not in " + reference);
    return line;
}

BankComparison VerifyReturned(const std::vector<SysexMessage>& bank, const std::vector<SysexMessage>& returned)
{
    const auto held = ByWave(bank);
    std::vector<SysexMessage> ofTheBank;
    for (const SysexMessage& message : returned)
        if (held.count(WaveDump::WaveNumberOf(message.data())) != 0)
            ofTheBank.push_back(message);
    return CompareBanks(bank, ofTheBank);
}

std::string VerifySummary(const BankComparison& verified)
{
    return verified.Summary("on the synth", "the bank", {"did not come back", "did not come back"});
}
