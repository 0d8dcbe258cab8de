// A sound file as the word recogniser's model hears it: mono 16-bit samples at 16 kHz.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vantrix {

constexpr int kWordModelRate = 16000;

// Reads any sound libsndfile reads, mixes its channels and brings it to 16 kHz with the
// engine's Kaiser filter (rates from 8000 up). rate: the file's own rate. false with a
// message naming the cause.
bool readSound16k(const std::string& path, std::vector<int16_t>& samples, int& rate,
                  std::string& error);

// Rate conversion of mono samples to 16 kHz (rate at least 8000); empty on failure.
std::vector<double> to16k(const std::vector<double>& x, int rate);

} // namespace Vantrix
