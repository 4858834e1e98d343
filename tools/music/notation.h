// Text notation for the march score: melody/bass lines and chord charts.
// Lines are tokens such as "Bb4:3" (pitch, length in sixteenths) or "r:2" (rest),
// bars separated by '|'; chord charts give one chord symbol per beat ("Eb", "F7",
// "Cm7", "N" for none). Parsers run on the tool's only thread and return false with
// a message naming the offending token; the output is left unchanged on failure.
#pragma once

#include <string>
#include <vector>

// 2/4 time: two beats to the bar, four sixteenths to the beat.
constexpr int kBeatsPerBar = 2;
constexpr int kSixteenthsPerBeat = 4;
constexpr int kSixteenthsPerBar = kBeatsPerBar * kSixteenthsPerBeat;

struct Note {
  double startBeats = 0;  // from the start of the line
  double lengthBeats = 0;
  int midi = 0;  // 60 = middle C
};

struct Chord {
  bool none = true;            // "N": no harmony sounding on this beat
  int root = 0;                // pitch class, 0 = C
  std::vector<int> intervals;  // semitones above the root, root included (0)
};

// Parses a note name such as "C4", "Bb1", "F#5" into a MIDI number. False if malformed.
bool ParsePitch(const std::string& token, int* midi);

// Parses a line of exactly `bars` bars, each summing to one 2/4 bar. Rests produce no
// notes. False (with *error set, *notes unchanged) on a bad token or bar length.
bool ParseLine(const std::string& text, int bars, std::vector<Note>* notes, std::string* error);

// Parses a chord symbol: root (A-G, optional b/#) then "", "m", "7", "m7" or "dim7";
// "N" is no chord. False if malformed.
bool ParseChord(const std::string& token, Chord* chord);

// Parses a chart of `bars` bars with one chord per beat. False (with *error set,
// *chords unchanged) on a bad symbol or a bar without exactly two chords.
bool ParseChart(const std::string& text, int bars, std::vector<Chord>* chords, std::string* error);

// Frequency in Hz of a MIDI note (A4 = 69 = 440 Hz, equal temperament).
double MidiToHz(double midi);
