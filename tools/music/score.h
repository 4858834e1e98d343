// The "Belva March" as data: sections in playing order, each with its melody, chord
// chart (one chord per beat), optional written bass line and orchestration.
// Bar 0 starts at show time 4 s; every four bars (5 s at 96 beats per minute in 2/4)
// is one show section, so each phrase below turns where the picture turns.
// Keys: B-flat major (strains A and B), E-flat major (trio), C minor (break strain).
#pragma once

namespace music {

enum class SnarePattern { none, light, march, drive, roll };
enum class LeadTone { brass, reed };

struct Orchestration {
    float lead = 0;          // melody level, 0 = tacet
    LeadTone tone = LeadTone::brass;
    float bright = 0.5f;     // filter-envelope depth of the melody, 0..1
    float legato = 0.85f;    // sounding fraction of each written melody note
    float low_double = 0;    // level of the melody doubled an octave down (trombones)
    bool tutti = false;      // chords and bass play with each melody note instead of oom-pah
    float bass = 0;          // tuba level
    float pah = 0;           // off-beat chord level
    float kick = 0;          // bass drum level
    bool kick_both_beats = false;
    float clash = 0;         // hand cymbals with the bass drum
    SnarePattern snare = SnarePattern::none;
    float snare_level = 0;   // for roll: level at the section's start
    float roll_end = 0;      // for roll: level at the section's end
    bool roll_into_next = false;  // buzz roll crescendo through the last bar
    float crash = 0;         // suspended cymbal on the first downbeat
    float crash_decay = 1.3f;  // seconds for the crash to fall by 1/e
};

struct Section {
    const char* name;
    int bars;
    const char* lead;    // melody line (always the full length; rests allowed)
    const char* chart;   // one chord per beat
    const char* bass;    // written tuba line, or nullptr for oom on each beat from the chart
    Orchestration orch;
};

// First strain: an eight-bar antecedent closing on the dominant, answered by a
// consequent that starts the same way and closes on the tonic.
#define STRAIN_A_ANTECEDENT                                                     \
    "F4:3 Bb4:1 D5:2 Bb4:2 | F5:4 D5:2 Bb4:2 | C5:3 Eb5:1 G5:2 Eb5:2 | F5:4 A4:2 C5:2 |" \
    "Bb4:3 D5:1 F5:2 Bb5:2 | A5:2 G5:2 F5:2 Eb5:2 | D5:2 Eb5:1 D5:1 C5:2 Bb4:2 | A4:4 r:4 |"
#define STRAIN_A_CONSEQUENT_OPENING                                             \
    "F4:3 Bb4:1 D5:2 Bb4:2 | F5:4 D5:2 Bb4:2 | C5:3 Eb5:1 G5:2 Eb5:2 | F5:4 A4:2 C5:2 |"
#define STRAIN_A_CADENCE                                                        \
    "Bb4:3 D5:1 F5:2 Bb5:2 | C6:2 Bb5:1 A5:1 G5:2 Eb5:2 | D5:3 F5:1 C5:2 A4:2 | Bb4:4 r:4 |"
#define STRAIN_A_CHART_ANTECEDENT "Bb Bb | Bb Bb | Cm Cm | F F | Bb Bb | F7 F7 | Bb C7 | F F |"
#define STRAIN_A_CHART_OPENING "Bb Bb | Bb Bb | Cm Cm | F F |"
#define STRAIN_A_CHART_CADENCE "Bb Bb | Cm7 Cm7 | Bb F7 | Bb Bb |"

constexpr Orchestration kFullBand = {
    0.9f, LeadTone::brass, 0.75f, 0.8f, 0, false, 0.8f, 0.5f, 0.75f, false, 0.25f,
    SnarePattern::march, 0.55f, 0, false, 0};

constexpr Orchestration with_crash(Orchestration o, float crash) { o.crash = crash; return o; }
constexpr Orchestration with_roll_out(Orchestration o) { o.roll_into_next = true; return o; }

constexpr Orchestration kGrandioso = {
    1.0f, LeadTone::brass, 0.9f, 0.8f, 0.55f, false, 0.9f, 0.55f, 0.85f, true, 0.35f,
    SnarePattern::march, 0.6f, 0, false, 1.0f};

constexpr Orchestration kTrio = {
    0.7f, LeadTone::reed, 0.3f, 0.97f, 0, false, 0.45f, 0.3f, 0.35f, false, 0,
    SnarePattern::light, 0.3f, 0, false, 0.35f};

// Orchestration columns: lead, tone, bright, legato, low_double, tutti, bass, pah,
// kick, kick_both_beats, clash, snare, snare_level, roll_end, roll_into_next, crash
// [, crash_decay].
constexpr Section kScore[] = {
    // Show 1.5-4: white screen and the hand-written title. A buzz roll swells and the
    // brass pick up into the downbeat at 4 s.
    {"intro", 2, "r:8 | r:4 F4:2 F4:1 F4:1 |", "N N | N N |", "r:8 | r:8 |",
     {0.9f, LeadTone::brass, 0.6f, 0.8f, 0, false, 0, 0, 0, false, 0,
      SnarePattern::roll, 0.04f, 0.8f, false, 0}},

    // 4-9 "The Flicker House presents": fanfare, half close on the dominant.
    {"fanfare", 4, "Bb4:3 F4:1 Bb4:3 D5:1 | F5:4 r:2 F5:2 | G5:3 F5:1 Eb5:3 C5:1 | A4:4 F4:4 |",
     "Bb Bb | Bb Bb | Eb F7 | F F |", nullptr,
     {1.0f, LeadTone::brass, 0.9f, 0.75f, 0.5f, false, 0.85f, 0.5f, 0.85f, true, 0.3f,
      SnarePattern::march, 0.55f, 0, true, 1.0f}},

    // 9-29 title and credit cards: the first strain.
    {"strain A", 16, STRAIN_A_ANTECEDENT STRAIN_A_CONSEQUENT_OPENING STRAIN_A_CADENCE,
     STRAIN_A_CHART_ANTECEDENT STRAIN_A_CHART_OPENING STRAIN_A_CHART_CADENCE, nullptr,
     with_crash(kFullBand, 0.6f)},

    // 29-34 the definition card: the tuba walks alone under the off-beats, the roll
    // builds into the first scene.
    {"tuba link", 4, "r:8 | r:8 | r:8 | r:8 |", "Bb Bb | Eb Eb | Bb Bb | F7 F7 |",
     "Bb1:2 D2:2 F2:2 D2:2 | Eb2:2 G2:2 Bb2:2 G2:2 | F2:2 D2:2 Bb1:2 D2:2 | F2:2 Eb2:2 D2:2 C2:2 |",
     {0, LeadTone::brass, 0, 0.8f, 0, false, 0.95f, 0.45f, 0.6f, false, 0,
      SnarePattern::march, 0.45f, 0, true, 0}},

    // 34-54 the first scenes: a broad second strain, crash on the star tunnel.
    {"strain B", 16,
     "F5:6 D5:2 | Eb5:2 D5:2 C5:2 Bb4:2 | G5:6 Eb5:2 | F5:4 D5:4 |"
     "C5:2 D5:2 Eb5:2 C5:2 | D5:2 Bb4:2 F4:2 D5:2 | C5:2 E5:2 G5:2 E5:2 | F5:4 r:4 |"
     "F5:6 D5:2 | Eb5:2 D5:2 C5:2 Bb4:2 | G5:6 Eb5:2 | F5:4 D5:4 |"
     "Eb5:2 G5:2 Bb5:2 G5:2 | F5:2 D5:2 Bb4:2 D5:2 | C5:3 D5:1 Eb5:2 A4:2 | Bb4:4 r:4 |",
     "Bb Bb | Eb F7 | Cm7 Cm7 | Bb Bb | F7 F7 | Bb Bb | C7 C7 | F F |"
     "Bb Bb | Eb F7 | Cm7 Cm7 | Bb Bb | Eb Eb | Bb Bb | F7 F7 | Bb Bb |",
     nullptr,
     {0.95f, LeadTone::brass, 0.8f, 0.92f, 0.4f, false, 0.85f, 0.5f, 0.8f, false, 0.3f,
      SnarePattern::march, 0.55f, 0, false, 1.0f}},

    // 54-59 "Dum dee dum... The management begs your patience": a sly reed, the
    // harmony turns to B-flat seven to lead into the trio.
    {"dum dee dum", 4, "D4:3 Eb4:1 F4:4 | r:8 | Ab4:3 G4:1 F4:4 | D4:4 r:4 |",
     "Bb Bb | Bb Bb | Bb7 Bb7 | Bb7 Bb7 |", nullptr,
     {0.75f, LeadTone::reed, 0.35f, 0.85f, 0, false, 0.55f, 0.3f, 0.4f, false, 0,
      SnarePattern::none, 0, 0, false, 0}},

    // 59-79 metaballs, meanwhile, cube, gazillion: the trio in the subdominant, softer.
    {"trio", 16,
     "Bb4:4 G4:2 Ab4:2 | Bb4:6 Eb5:2 | D5:4 C5:2 Bb4:2 | Ab4:6 F4:2 |"
     "G4:4 Eb4:2 F4:2 | G4:4 C5:4 | Bb4:4 Ab4:2 G4:2 | F4:8 |"
     "Bb4:4 G4:2 Ab4:2 | Bb4:6 Eb5:2 | F5:4 Eb5:2 D5:2 | C5:6 Ab4:2 |"
     "G4:4 Bb4:2 Eb5:2 | C5:4 Ab4:2 C5:2 | Bb4:4 F4:2 D5:2 | Eb5:4 r:4 |",
     "Eb Eb | Eb Eb | Bb7 Bb7 | Bb7 Bb7 | Eb Eb | Cm Cm | Eb Bb7 | Bb Bb |"
     "Eb Eb | Eb Eb | Bb7 Bb7 | Ab Ab | Eb Eb | Ab Ab | Eb Bb7 | Eb Eb |",
     nullptr, kTrio},

    // 79-89 textured cube, "looking at a cube": the break strain in C minor, low runs
    // answered by full-band stabs.
    {"break call", 8,
     "r:8 | G5:2 r:2 G5:2 r:2 | r:8 | D5:2 r:2 B4:2 r:2 |"
     "r:8 | F5:2 r:2 Ab5:2 r:2 | r:8 | G5:2 r:2 B4:2 r:2 |",
     "N N | Cm Cm | N N | G G | N N | Fm Fm | N N | G7 G7 |",
     "C2:2 D2:2 Eb2:2 F2:2 | C2:2 r:2 C2:2 r:2 | Ab2:2 G2:2 F2:2 Eb2:2 | G1:2 r:2 G1:2 r:2 |"
     "C2:2 D2:2 Eb2:2 E2:2 | F2:2 r:2 F2:2 r:2 | D2:2 Eb2:2 E2:2 F#2:2 | G2:2 r:2 G1:2 r:2 |",
     {1.0f, LeadTone::brass, 1.0f, 0.7f, 0.5f, true, 1.0f, 0.6f, 0.8f, false, 0.4f,
      SnarePattern::drive, 0.5f, 0, false, 0.9f}},

    // 89-94 the brick tunnel backwards: the break strain drives on to C minor's
    // turn towards B-flat.
    {"break drive", 4, "C5:2 Eb5:2 G5:2 Eb5:2 | Ab5:2 G5:2 F5:2 Eb5:2 | D5:2 F5:2 G5:2 B4:2 | C5:2 Bb4:2 A4:2 C5:2 |",
     "Cm Cm | Fm Fm | G7 G7 | Cm F7 |", nullptr,
     {1.0f, LeadTone::brass, 0.95f, 0.85f, 0.5f, false, 0.95f, 0.55f, 0.85f, true, 0.4f,
      SnarePattern::drive, 0.6f, 0, false, 0.8f}},

    // 94-99 "And now... MATHEMATICS": one dominant stab, then a long roll swells to
    // the return, the band walking down to the first strain's pick-up note.
    {"retransition", 4, "F5:2 r:6 | r:8 | r:8 | Eb5:2 C5:2 A4:2 F4:2 |",
     "F7 F7 | N N | N N | F7 F7 |", "F2:2 r:6 | r:8 | r:8 | F2:2 r:2 F2:2 r:2 |",
     {1.0f, LeadTone::brass, 0.9f, 0.8f, 0.5f, true, 1.0f, 0.6f, 0.6f, false, 0,
      SnarePattern::roll, 0.03f, 0.9f, false, 0.8f}},

    // 99-114 Mandelbrot, the maths card, metaballs: the first strain returns, full.
    {"strain A returns", 12, STRAIN_A_ANTECEDENT STRAIN_A_CONSEQUENT_OPENING,
     STRAIN_A_CHART_ANTECEDENT STRAIN_A_CHART_OPENING, nullptr, kGrandioso},
    // 114-119 the first greetings card: the strain's cadence, with a fresh crash.
    {"strain A cadence", 4, STRAIN_A_CADENCE, STRAIN_A_CHART_CADENCE, nullptr, kGrandioso},

    // 119-124 "...everyone who still makes pictures move": coda, climbing.
    {"coda", 4, "Bb4:2 D5:2 F5:2 D5:2 | Eb5:2 G5:2 Bb5:2 G5:2 | F5:3 D5:1 Bb4:2 D5:2 | C5:2 Eb5:2 G5:2 A5:2 |",
     "Bb Bb | Eb Eb | Bb Gm | Cm7 F7 |", nullptr, with_crash(with_roll_out(kGrandioso), 0)},

    // 124-126.5 THE END: the last broad phrase, crash on the card.
    {"end build", 2, "Bb5:4 F5:2 D5:2 | Eb5:2 G5:2 C5:2 Eb5:2 |", "Bb Bb | Eb Cm7 |", nullptr,
     kGrandioso},
    // 126.5-127.75: the dominant held over a swelling roll...
    {"dominant", 1, "F5:8 |", "F7 F7 |", "F1:8 |",
     {1.0f, LeadTone::brass, 0.9f, 0.97f, 0.6f, true, 1.0f, 0.7f, 0, false, 0,
      SnarePattern::roll, 0.25f, 0.9f, false, 0}},
    // ...127.75: the tonic chord, struck with drum and a choked cymbal, rings out well
    // before the picture burns out at 129 s.
    {"final chord", 1, "Bb4:6 r:2 |", "Bb Bb |", "Bb1:6 r:2 |",
     {1.0f, LeadTone::brass, 0.9f, 1.0f, 0.6f, true, 1.0f, 0.7f, 1.0f, false, 0,
      SnarePattern::none, 0, 0, false, 0.9f, 0.35f}},
};

constexpr int kSectionCount = sizeof(kScore) / sizeof(kScore[0]);

// The score starts two bars before show time 4 s (bar 0).
constexpr int kFirstBar = -2;

}  // namespace music
