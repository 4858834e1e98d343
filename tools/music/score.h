// The "Belva March" as data: sections in playing order, each with its melody, chord
// chart (one chord per beat), optional written bass line, optional countermelody and
// the pit band's orchestration.
// Bar 0 starts at show time 4 s; every four bars (5 s at 96 beats per minute in 2/4)
// is one show section, so each phrase below turns where the picture turns.
// Keys: B-flat major (strains A and B), E-flat major (trio), C minor (break strain).
// When a strain comes back it is scored afresh (other voices on the tune, a new
// countermelody or obbligato, sometimes a new harmonisation), never copied.
#pragma once

// The pit band's pitched voices; the drums (snare, bass drum, cymbals) come with
// the drum settings below.
enum class Voice {
  kCornet,
  kClarinet,
  kFlute,
  kTrombone,
  kHorn,
  kTuba,
  kGlockenspiel,
  kPiano,
  kCount
};
constexpr int kVoiceCount = int(Voice::kCount);

enum class SnarePattern { kNone, kLight, kMarch, kDrive, kRoll };
// How the harmony is played: oom-pah (tuba on the beats, horns on the off-beats),
// tutti (chords and bass struck with every melody note), stride (the pianist's left
// hand on the beats, chords on the off-beats) or not at all.
enum class Accompaniment { kNone, kOompah, kTutti, kStride };

struct Part {
  Voice voice = Voice::kCornet;
  float level = 0;  // 0 = this slot is unused
  int octave = 0;   // played this many octaves above the written line
};

struct Orchestration {
  Part tune[3] = {};     // voices on the melody
  Part counter = {};     // voice on the section's countermelody line
  float bright = 0.5f;   // filter-envelope depth of the winds, 0..1
  float legato = 0.85f;  // sounding fraction of each written melody note
  Accompaniment accompaniment = Accompaniment::kOompah;
  float bass = 0;  // tuba (or the pianist's left hand in stride)
  float pah = 0;   // off-beat chords (horns, or the pianist's right hand in stride)
  float kick = 0;  // bass drum level
  bool kickBothBeats = false;
  float clash = 0;  // hand cymbals with the bass drum
  SnarePattern snare = SnarePattern::kNone;
  float snareLevel = 0;       // for roll: level at the section's start
  float rollEnd = 0;          // for roll: level at the section's end
  bool rollIntoNext = false;  // buzz roll crescendo through the last bar
  float crash = 0;            // suspended cymbal on the first downbeat
  float crashDecay = 1.3f;    // seconds for the crash to fall by 1/e
  bool choke = false;         // the player's hand stops the crash when the last note ends
};

struct Section {
  const char* name;
  int bars;
  const char* lead;     // melody line (always the full length; rests allowed)
  const char* chart;    // one chord per beat
  const char* bass;     // written tuba line, or nullptr for oom on each beat from the chart
  const char* counter;  // countermelody or obbligato, or nullptr
  Orchestration orch;
};

// First strain: an eight-bar antecedent closing on the dominant, answered by a
// consequent that starts the same way and closes on the tonic.
#define STRAIN_A_ANTECEDENT                                                            \
  "F4:3 Bb4:1 D5:2 Bb4:2 | F5:4 D5:2 Bb4:2 | C5:3 Eb5:1 G5:2 Eb5:2 | F5:4 A4:2 C5:2 |" \
  "Bb4:3 D5:1 F5:2 Bb5:2 | A5:2 G5:2 F5:2 Eb5:2 | D5:2 Eb5:1 D5:1 C5:2 Bb4:2 | A4:4 r:4 |"
#define STRAIN_A_CONSEQUENT_OPENING \
  "F4:3 Bb4:1 D5:2 Bb4:2 | F5:4 D5:2 Bb4:2 | C5:3 Eb5:1 G5:2 Eb5:2 | F5:4 A4:2 C5:2 |"
#define STRAIN_A_CADENCE \
  "Bb4:3 D5:1 F5:2 Bb5:2 | C6:2 Bb5:1 A5:1 G5:2 Eb5:2 | D5:3 F5:1 C5:2 A4:2 | Bb4:4 r:4 |"
#define STRAIN_A_CHART_ANTECEDENT "Bb Bb | Bb Bb | Cm Cm | F F | Bb Bb | F7 F7 | Bb C7 | F F |"
#define STRAIN_A_CHART_CADENCE "Bb Bb | Cm7 Cm7 | Bb F7 | Bb Bb |"

#define STRAIN_B_FIRST_HALF                                      \
  "F5:6 D5:2 | Eb5:2 D5:2 C5:2 Bb4:2 | G5:6 Eb5:2 | F5:4 D5:4 |" \
  "C5:2 D5:2 Eb5:2 C5:2 | D5:2 Bb4:2 F4:2 D5:2 | C5:2 E5:2 G5:2 E5:2 | F5:4 r:4 |"
#define STRAIN_B_SECOND_HALF                                     \
  "F5:6 D5:2 | Eb5:2 D5:2 C5:2 Bb4:2 | G5:6 Eb5:2 | F5:4 D5:4 |" \
  "Eb5:2 G5:2 Bb5:2 G5:2 | F5:2 D5:2 Bb4:2 D5:2 | C5:3 D5:1 Eb5:2 A4:2 | Bb4:4 r:4 |"

// The score reads best as a table, one section to a paragraph.
// clang-format off
constexpr Part Cornets(float level) { return {Voice::kCornet, level, 0}; }
constexpr Part Clarinets(float level, int octave = 0) { return {Voice::kClarinet, level, octave}; }
constexpr Part Flute(float level, int octave = 0) { return {Voice::kFlute, level, octave}; }
constexpr Part Piccolo(float level) { return {Voice::kFlute, level, 1}; }
constexpr Part Trombones(float level, int octave = 0) { return {Voice::kTrombone, level, octave}; }
constexpr Part Glockenspiel(float level) { return {Voice::kGlockenspiel, level, 1}; }
constexpr Part Piano(float level) { return {Voice::kPiano, level, 0}; }

constexpr Orchestration kFullBand = {
  .tune = {Cornets(0.9f), Clarinets(0.4f)}, .bright = 0.75f, .legato = 0.8f, .bass = 0.8f, .pah = 0.5f,
  .kick = 0.75f, .clash = 0.25f, .snare = SnarePattern::kMarch, .snareLevel = 0.55f};

constexpr Orchestration kGrandioso = {
  .tune = {Cornets(1.0f), Trombones(0.5f, -1), Clarinets(0.35f)}, .bright = 0.9f, .legato = 0.8f, .bass = 0.9f,
  .pah = 0.55f, .kick = 0.85f, .kickBothBeats = true, .clash = 0.35f, .snare = SnarePattern::kMarch,
  .snareLevel = 0.6f, .crash = 1.0f};

constexpr Orchestration WithCrash(Orchestration o, float crash) { o.crash = crash; return o; }
constexpr Orchestration WithRollOut(Orchestration o) { o.rollIntoNext = true; return o; }
constexpr Orchestration WithCounter(Orchestration o, Part counter) { o.counter = counter; return o; }

constexpr Section kScore[] = {
  // Show 1.5-4: white screen and the hand-written title. A buzz roll swells and the
  // cornets pick up into the downbeat at 4 s.
  {"intro", 2, "r:8 | r:4 F4:2 F4:1 F4:1 |", "N N | N N |", "r:8 | r:8 |", nullptr,
   {.tune = {Cornets(0.9f)}, .bright = 0.6f, .legato = 0.8f, .accompaniment = Accompaniment::kNone,
    .snare = SnarePattern::kRoll, .snareLevel = 0.04f, .rollEnd = 0.8f}},

  // 4-9 "The Flicker House presents": fanfare for cornets and trombones, the
  // glockenspiel on top, half close on the dominant.
  {"fanfare", 4, "Bb4:3 F4:1 Bb4:3 D5:1 | F5:4 r:2 F5:2 | G5:3 F5:1 Eb5:3 C5:1 | A4:4 F4:4 |",
   "Bb Bb | Bb Bb | Eb F7 | F F |", nullptr, nullptr,
   {.tune = {Cornets(1.0f), Trombones(0.55f, -1), Glockenspiel(0.3f)}, .bright = 0.9f, .legato = 0.75f,
    .accompaniment = Accompaniment::kTutti, .bass = 0.85f, .pah = 0.5f, .kick = 0.85f, .kickBothBeats = true,
    .clash = 0.3f, .snare = SnarePattern::kMarch, .snareLevel = 0.55f, .rollIntoNext = true, .crash = 1.0f}},

  // 9-19 title cards: the first strain's antecedent, cornets with clarinets.
  {"strain A", 8, STRAIN_A_ANTECEDENT, STRAIN_A_CHART_ANTECEDENT, nullptr, nullptr, WithCrash(kFullBand, 0.6f)},

  // 19-29 credit cards: the consequent goes to the woodwinds (clarinets, flute an
  // octave up), freshly harmonised, with a legato trombone countermelody.
  {"strain A answer", 8, STRAIN_A_CONSEQUENT_OPENING STRAIN_A_CADENCE,
   "Bb Gm | Bb Gm | Cm Eb | F F7 |" STRAIN_A_CHART_CADENCE, nullptr,
   "D4:4 C4:4 | Bb3:4 A3:4 | G3:4 Eb3:4 | F3:4 A3:4 | D4:4 F4:4 | Eb4:6 G3:2 | F3:4 A3:4 | Bb3:6 r:2 |",
   {.tune = {Clarinets(0.75f), Flute(0.45f, 1)}, .counter = Trombones(0.75f), .bright = 0.6f, .legato = 0.9f,
    .bass = 0.7f, .pah = 0.45f, .kick = 0.65f, .clash = 0.2f, .snare = SnarePattern::kMarch, .snareLevel = 0.45f}},

  // 29-34 the definition card: the tuba walks alone under the off-beats, the roll
  // builds into the first scene.
  {"tuba link", 4, "r:8 | r:8 | r:8 | r:8 |", "Bb Bb | Eb Eb | Bb Bb | F7 F7 |",
   "Bb1:2 D2:2 F2:2 D2:2 | Eb2:2 G2:2 Bb2:2 G2:2 | F2:2 D2:2 Bb1:2 D2:2 | F2:2 Eb2:2 D2:2 C2:2 |", nullptr,
   {.bright = 0.5f, .bass = 0.95f, .pah = 0.45f, .kick = 0.6f, .snare = SnarePattern::kMarch, .snareLevel = 0.45f,
    .rollIntoNext = true}},

  // 34-44 the first scenes: a broad second strain on cornets and trombones, crash on
  // the star tunnel.
  {"strain B", 8, STRAIN_B_FIRST_HALF, "Bb Bb | Eb F7 | Cm7 Cm7 | Bb Bb | F7 F7 | Bb Bb | C7 C7 | F F |", nullptr,
   nullptr,
   {.tune = {Cornets(0.95f), Trombones(0.4f, -1)}, .bright = 0.8f, .legato = 0.92f, .bass = 0.85f, .pah = 0.5f,
    .kick = 0.8f, .clash = 0.3f, .snare = SnarePattern::kMarch, .snareLevel = 0.55f, .crash = 1.0f}},

  // 44-54 its repeat: clarinets join the cornets and the flute spins an obbligato
  // above; the glockenspiel picks out the tune.
  {"strain B repeat", 8, STRAIN_B_SECOND_HALF,
   "Bb Gm | Eb F7 | Cm7 Cm7 | Bb Gm | Eb Eb | Bb Bb | F7 F7 | Bb Bb |", nullptr,
   "Bb5:2 C6:2 D6:2 Bb5:2 | G5:2 Bb5:2 A5:2 C6:2 | Eb6:2 D6:2 C6:2 Bb5:2 | A5:2 Bb5:2 C6:2 D6:2 |"
   "G6:4 F6:2 Eb6:2 | D6:4 F6:4 | Eb6:2 C6:2 A5:2 C6:2 | Bb5:2 F5:2 Bb5:4 |",
   {.tune = {Cornets(0.8f), Clarinets(0.45f), Glockenspiel(0.22f)}, .counter = Flute(0.85f), .bright = 0.7f,
    .legato = 0.85f, .bass = 0.8f, .pah = 0.45f, .kick = 0.75f, .clash = 0.25f, .snare = SnarePattern::kMarch,
    .snareLevel = 0.5f}},

  // 54-59 "Dum dee dum... The management begs your patience": the pit pianist alone,
  // the harmony turning to B-flat seven to lead into the trio.
  {"dum dee dum", 4, "D4:3 Eb4:1 F4:4 | r:8 | Ab4:3 G4:1 F4:4 | D4:4 r:4 |",
   "Bb Bb | Bb Bb | Bb7 Bb7 | Bb7 Bb7 |", nullptr, nullptr,
   {.tune = {Piano(0.85f)}, .bright = 0.4f, .legato = 0.85f, .accompaniment = Accompaniment::kStride, .bass = 0.55f,
    .pah = 0.4f}},

  // 59-69 metaballs, meanwhile: the trio in the subdominant, quiet; the piano
  // carries it with the clarinets, tuba and horns hold back.
  {"trio", 8,
   "Bb4:4 G4:2 Ab4:2 | Bb4:6 Eb5:2 | D5:4 C5:2 Bb4:2 | Ab4:6 F4:2 |"
   "G4:4 Eb4:2 F4:2 | G4:4 C5:4 | Bb4:4 Ab4:2 G4:2 | F4:8 |",
   "Eb Eb | Eb Eb | Bb7 Bb7 | Bb7 Bb7 | Eb Eb | Cm Cm | Eb Bb7 | Bb Bb |", nullptr, nullptr,
   {.tune = {Piano(0.8f), Clarinets(0.3f)}, .bright = 0.3f, .legato = 0.95f, .accompaniment = Accompaniment::kStride,
    .bass = 0.5f, .pah = 0.35f, .kick = 0.3f, .snare = SnarePattern::kLight, .snareLevel = 0.25f, .crash = 0.35f}},

  // 69-79 cube, gazillion: the trio's second half, clarinets on the tune over the
  // band's soft oom-pah, a flute obbligato above.
  {"trio obbligato", 8,
   "Bb4:4 G4:2 Ab4:2 | Bb4:6 Eb5:2 | F5:4 Eb5:2 D5:2 | C5:6 Ab4:2 |"
   "G4:4 Bb4:2 Eb5:2 | C5:4 Ab4:2 C5:2 | Bb4:4 F4:2 D5:2 | Eb5:4 r:4 |",
   "Eb Eb | Eb Eb | Bb7 Bb7 | Ab Ab | Eb Eb | Ab Ab | Eb Bb7 | Eb Eb |", nullptr,
   "r:4 G5:2 Bb5:2 | Eb6:4 D6:2 Eb6:2 | F6:2 D6:2 Bb5:2 Ab5:2 | C6:4 Eb6:2 C6:2 |"
   "Bb5:2 G5:2 Eb6:2 Bb5:2 | Ab5:2 C6:2 Eb6:2 F6:2 | G6:4 F6:2 Ab5:2 | G5:4 r:4 |",
   {.tune = {Clarinets(0.65f), Piano(0.35f)}, .counter = Flute(0.5f), .bright = 0.35f, .legato = 0.95f,
    .bass = 0.45f, .pah = 0.3f, .kick = 0.35f, .snare = SnarePattern::kLight, .snareLevel = 0.3f}},

  // 79-89 textured cube, "looking at a cube": the break strain in C minor, tuba and
  // trombones' low runs answered by full-band stabs.
  {"break call", 8,
   "r:8 | G5:2 r:2 G5:2 r:2 | r:8 | D5:2 r:2 B4:2 r:2 |"
   "r:8 | F5:2 r:2 Ab5:2 r:2 | r:8 | G5:2 r:2 B4:2 r:2 |",
   "N N | Cm Cm | N N | G G | N N | Fm Fm | N N | G7 G7 |",
   "C2:2 D2:2 Eb2:2 F2:2 | C2:2 r:2 C2:2 r:2 | Ab2:2 G2:2 F2:2 Eb2:2 | G1:2 r:2 G1:2 r:2 |"
   "C2:2 D2:2 Eb2:2 E2:2 | F2:2 r:2 F2:2 r:2 | D2:2 Eb2:2 E2:2 F#2:2 | G2:2 r:2 G1:2 r:2 |",
   "C3:2 D3:2 Eb3:2 F3:2 | r:8 | Ab3:2 G3:2 F3:2 Eb3:2 | r:8 |"
   "C3:2 D3:2 Eb3:2 E3:2 | r:8 | D3:2 Eb3:2 E3:2 F#3:2 | r:8 |",
   {.tune = {Cornets(1.0f), Trombones(0.5f, -1), Clarinets(0.4f)}, .counter = Trombones(0.7f), .bright = 1.0f,
    .legato = 0.7f, .accompaniment = Accompaniment::kTutti, .bass = 1.0f, .pah = 0.6f, .kick = 0.8f, .clash = 0.4f,
    .snare = SnarePattern::kDrive, .snareLevel = 0.5f, .crash = 0.9f}},

  // 89-94 the brick tunnel backwards: the break strain drives on to C minor's
  // turn towards B-flat.
  {"break drive", 4, "C5:2 Eb5:2 G5:2 Eb5:2 | Ab5:2 G5:2 F5:2 Eb5:2 | D5:2 F5:2 G5:2 B4:2 | C5:2 Bb4:2 A4:2 C5:2 |",
   "Cm Cm | Fm Fm | G7 G7 | Cm F7 |", nullptr, nullptr,
   {.tune = {Cornets(1.0f), Trombones(0.5f, -1), Flute(0.3f, 1)}, .bright = 0.95f, .legato = 0.85f,
    .accompaniment = Accompaniment::kTutti, .bass = 0.95f, .pah = 0.55f, .kick = 0.85f, .kickBothBeats = true,
    .clash = 0.4f, .snare = SnarePattern::kDrive, .snareLevel = 0.6f, .crash = 0.8f}},

  // 94-99 "And now... MATHEMATICS": one dominant stab, then a long roll swells to
  // the return, the band walking down to the first strain's pick-up note.
  {"retransition", 4, "F5:2 r:6 | r:8 | r:8 | Eb5:2 C5:2 A4:2 F4:2 |", "F7 F7 | N N | N N | F7 F7 |",
   "F2:2 r:6 | r:8 | r:8 | F2:2 r:2 F2:2 r:2 |", nullptr,
   {.tune = {Cornets(1.0f), Trombones(0.5f, -1)}, .bright = 0.9f, .legato = 0.8f,
    .accompaniment = Accompaniment::kTutti, .bass = 1.0f, .pah = 0.6f, .kick = 0.6f, .snare = SnarePattern::kRoll,
    .snareLevel = 0.03f, .rollEnd = 0.9f, .crash = 0.8f}},

  // 99-109 Mandelbrot, the maths card: the first strain returns with the whole band
  // and a piccolo obbligato running above it, glockenspiel instead of clarinets on
// the tune; the tuba walks in quarters.
  {"strain A returns", 8, STRAIN_A_ANTECEDENT, "Bb Bb | Gm Gm | Cm Cm | F F7 | Bb Bb | F7 F7 | Bb C7 | F F |",
   "Bb1:4 D2:4 | F2:4 D2:4 | C2:4 Eb2:4 | F2:4 A1:4 | Bb1:4 C2:2 D2:2 | F2:4 Eb2:4 | D2:4 C2:4 | F2:4 F1:4 |",
   "Bb5:1 C6:1 D6:1 Eb6:1 F6:2 D6:2 | Bb5:1 A5:1 Bb5:1 C6:1 D6:2 F6:2 | G6:1 F6:1 Eb6:1 D6:1 C6:2 G5:2 |"
   "A5:1 Bb5:1 C6:1 D6:1 Eb6:2 C6:2 | D6:1 Eb6:1 F6:1 G6:1 F6:2 D6:2 | C6:1 D6:1 Eb6:1 F6:1 A6:2 F6:2 |"
   "F6:2 D6:2 E6:2 C6:2 | A5:2 C6:2 F6:4 |",
   [] {
     Orchestration o = WithCounter(kGrandioso, Piccolo(1.2f));
     o.tune[2] = Glockenspiel(0.25f);
     return o;
   }()},

  // 109-114 metaballs: the consequent, trombones break into their countermelody
  // under a new harmonisation, the flute doubles the tune an octave up.
  {"strain A trombones", 4, STRAIN_A_CONSEQUENT_OPENING, "Bb Bb7 | Eb Bb | Cm Cm | F7 F7 |", nullptr,
   "r:4 Bb2:1 C3:1 D3:1 Eb3:1 | F3:4 G3:2 A3:2 | Bb3:2 G3:2 C4:2 G3:2 | A3:4 F3:2 Eb3:2 |",
   {.tune = {Cornets(0.9f), Flute(0.4f, 1), Clarinets(0.35f)}, .counter = Trombones(0.9f), .bright = 0.9f,
    .legato = 0.8f, .bass = 0.9f, .pah = 0.5f, .kick = 0.85f, .kickBothBeats = true, .clash = 0.35f,
    .snare = SnarePattern::kMarch, .snareLevel = 0.6f}},

  // 114-119 the first greetings card: the strain's cadence, a fresh crash, piccolo
  // and glockenspiel ringing over it.
  {"strain A cadence", 4, STRAIN_A_CADENCE, STRAIN_A_CHART_CADENCE, nullptr,
   "D6:1 C6:1 D6:1 Eb6:1 F6:4 | Eb6:1 D6:1 C6:1 Bb5:1 G5:4 | F6:2 D6:2 Eb6:2 C6:2 | D6:1 F6:1 Bb6:2 r:4 |",
   [] {
     Orchestration o = WithCounter(kGrandioso, Piccolo(0.5f));
     o.tune[2] = Glockenspiel(0.3f);
     return o;
   }()},

  // 119-124 "...everyone who still makes pictures move": coda, climbing.
  {"coda", 4, "Bb4:2 D5:2 F5:2 D5:2 | Eb5:2 G5:2 Bb5:2 G5:2 | F5:3 D5:1 Bb4:2 D5:2 | C5:2 Eb5:2 G5:2 A5:2 |",
   "Bb Bb | Eb Eb | Bb Gm | Cm7 F7 |", nullptr, nullptr, WithCrash(WithRollOut(kGrandioso), 0)},

  // 124-126.5 THE END: the last broad phrase, crash on the card.
  {"end build", 2, "Bb5:4 F5:2 D5:2 | Eb5:2 G5:2 C5:2 Eb5:2 |", "Bb Bb | Eb Cm7 |", nullptr, nullptr, kGrandioso},
  // 126.5-127.75: the dominant held over a swelling roll...
  {"dominant", 1, "F5:8 |", "F7 F7 |", "F1:8 |", nullptr,
   {.tune = {Cornets(1.0f), Trombones(0.6f, -1), Clarinets(0.35f)}, .bright = 0.9f, .legato = 0.97f,
    .accompaniment = Accompaniment::kTutti, .bass = 1.0f, .pah = 0.7f, .snare = SnarePattern::kRoll,
    .snareLevel = 0.25f, .rollEnd = 0.9f}},
  // ...127.75: the tonic chord, struck with drum and a cymbal choked as the band
  // stops, so the theatre's own ring is what dies away before 129.5 s.
  {"final chord", 1, "Bb4:5 r:3 |", "Bb Bb |", "Bb1:5 r:3 |", nullptr,
   {.tune = {Cornets(1.0f), Trombones(0.6f, -1), Clarinets(0.35f)}, .bright = 0.9f, .legato = 1.0f,
    .accompaniment = Accompaniment::kTutti, .bass = 1.0f, .pah = 0.7f, .kick = 1.0f, .crash = 0.9f,
    .crashDecay = 0.6f, .choke = true}},
};

// clang-format on

constexpr int kSectionCount = sizeof(kScore) / sizeof(kScore[0]);

// The score starts two bars before show time 4 s (bar 0).
constexpr int kFirstBar = -2;

// Distinct timbres the score asks for: the pitched voices that play somewhere plus
// each kind of drum that is struck.
int ScoreTimbreCount();
