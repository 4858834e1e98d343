// Parsers for the score's text notation (see notation.h).
#include "notation.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

bool ParsePitchClass(const std::string& s, size_t* pos, int* pc) {
  static const int kLetterPc[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (*pos >= s.size() || s[*pos] < 'A' || s[*pos] > 'G') return false;
  int value = kLetterPc[s[*pos] - 'A'];
  ++*pos;
  if (*pos < s.size() && s[*pos] == 'b') {
    --value;
    ++*pos;
  } else if (*pos < s.size() && s[*pos] == '#') {
    ++value;
    ++*pos;
  }
  *pc = (value + 12) % 12;
  return true;
}

// Splits on '|' into bars, each bar into whitespace-separated tokens.
std::vector<std::vector<std::string>> SplitBars(const std::string& text) {
  std::vector<std::vector<std::string>> bars(1);
  std::string token;
  auto flush = [&]() {
    if (!token.empty()) {
      bars.back().push_back(token);
      token.clear();
    }
  };
  for (char c : text) {
    if (c == '|') {
      flush();
      bars.emplace_back();
    } else if (c == ' ' || c == '\t' || c == '\n')
      flush();
    else
      token += c;
  }
  flush();
  if (bars.back().empty()) bars.pop_back();  // a trailing bar line closes the last bar
  return bars;
}

}  // namespace

bool ParsePitch(const std::string& token, int* midi) {
  static const int kLetterSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (token.size() < 2 || token[0] < 'A' || token[0] > 'G') return false;
  // The written octave holds for the letter, so B#3 is C4 and Cb4 is B3.
  int semitone = kLetterSemitone[token[0] - 'A'];
  size_t pos = 1;
  if (token[pos] == 'b') {
    --semitone;
    ++pos;
  } else if (token[pos] == '#') {
    ++semitone;
    ++pos;
  }
  if (pos + 1 != token.size() || token[pos] < '0' || token[pos] > '8') return false;
  *midi = 12 * (token[pos] - '0' + 1) + semitone;
  return true;
}

bool ParseLine(const std::string& text, int bars, std::vector<Note>* notes, std::string* error) {
  std::vector<std::vector<std::string>> parsed = SplitBars(text);
  if (static_cast<int>(parsed.size()) != bars) {
    *error = "expected " + std::to_string(bars) + " bars, found " + std::to_string(parsed.size());
    return false;
  }
  std::vector<Note> out;
  int position = 0;  // sixteenths from the start of the line
  for (size_t bar = 0; bar < parsed.size(); ++bar) {
    int barLength = 0;
    for (const std::string& token : parsed[bar]) {
      size_t colon = token.find(':');
      char* end = nullptr;
      long length =
          colon == std::string::npos ? 0 : std::strtol(token.c_str() + colon + 1, &end, 10);
      if (colon == std::string::npos || length <= 0 || *end != '\0') {
        *error = "bar " + std::to_string(bar + 1) + ": bad length in '" + token + "'";
        return false;
      }
      std::string pitch = token.substr(0, colon);
      if (pitch != "r") {
        Note note;
        if (!ParsePitch(pitch, &note.midi)) {
          *error = "bar " + std::to_string(bar + 1) + ": bad pitch in '" + token + "'";
          return false;
        }
        note.startBeats = double(position + barLength) / kSixteenthsPerBeat;
        note.lengthBeats = double(length) / kSixteenthsPerBeat;
        out.push_back(note);
      }
      barLength += int(length);
    }
    if (barLength != kSixteenthsPerBar) {
      *error = "bar " + std::to_string(bar + 1) + " lasts " + std::to_string(barLength) +
               " sixteenths, not " + std::to_string(kSixteenthsPerBar);
      return false;
    }
    position += barLength;
  }
  *notes = out;
  return true;
}

bool ParseChord(const std::string& token, Chord* chord) {
  if (token == "N") {
    *chord = Chord();
    return true;
  }
  size_t pos = 0;
  Chord c;
  c.none = false;
  if (!ParsePitchClass(token, &pos, &c.root)) return false;
  std::string quality = token.substr(pos);
  if (quality.empty())
    c.intervals = {0, 4, 7};
  else if (quality == "m")
    c.intervals = {0, 3, 7};
  else if (quality == "7")
    c.intervals = {0, 4, 7, 10};
  else if (quality == "m7")
    c.intervals = {0, 3, 7, 10};
  else if (quality == "dim7")
    c.intervals = {0, 3, 6, 9};
  else
    return false;
  *chord = c;
  return true;
}

bool ParseChart(const std::string& text, int bars, std::vector<Chord>* chords, std::string* error) {
  std::vector<std::vector<std::string>> parsed = SplitBars(text);
  if (static_cast<int>(parsed.size()) != bars) {
    *error =
        "chart: expected " + std::to_string(bars) + " bars, found " + std::to_string(parsed.size());
    return false;
  }
  std::vector<Chord> out;
  for (size_t bar = 0; bar < parsed.size(); ++bar) {
    if (parsed[bar].size() != size_t(kBeatsPerBar)) {
      *error = "chart bar " + std::to_string(bar + 1) + " needs one chord per beat";
      return false;
    }
    for (const std::string& token : parsed[bar]) {
      Chord c;
      if (!ParseChord(token, &c)) {
        *error = "chart bar " + std::to_string(bar + 1) + ": bad chord '" + token + "'";
        return false;
      }
      out.push_back(c);
    }
  }
  *chords = out;
  return true;
}

double MidiToHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }
