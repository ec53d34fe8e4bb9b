// Listens to the real program: the editor runs with SDL's disk audio driver, which writes the
// mixed output to a file instead of a speaker, while the test opens the "Sounds" window with
// xdotool, plays TONE_440 with its "Play" button, then gives the selected effect a sound track
// and lets the pointer play the effect again and again. The recording must hold the 0.5 s
// 440 Hz tone where, and as often as, a person would hear it.
//
// Sounds are found by scanning the recording in 20 ms windows, not at exact times: the file is
// written at about the pace of real time, but the clicks land a frame or more after they are
// sent, and frames take longer on a loaded machine.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "editor_session.h"
#include "platform/gfx/image.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

// ---- where the widgets are ----------------------------------------------------------------

// In the main window, at (0,20), 400x400.
constexpr Point kEmissionInterval{137, 204};
constexpr Point kSoundIcon{166, 272};
// The "Sounds" window, the first panel window opened, takes 500x600 at (60,60) and covers the
// main window's right part.
constexpr Point kSoundCombo = InPanel(140, 36);
constexpr Point kToneInCombo =
    InPanel(40, 112);  // the combo lists LOOP, LOOP_MP3, NOISE_BURST, TONE_440 below itself
constexpr Point kPlayButton = InPanel(26, 82);    // while there is no track; each track's line pushes it down
constexpr Point kTracksPlus = InPanel(323, 59);   // the "+" step button of "Tracks"

constexpr Rect kSoundsTitleBar = PanelRect(1, 1, 499, 19);
constexpr Rect kSoundLabel = PanelRect(334, 28, 380, 46);
constexpr Rect kTracksLabel = PanelRect(334, 51, 384, 69);
constexpr Rect kTrack1Label =
    PanelRect(42, 73, 76, 88);  // "ack1": clear of where "Play" stood without a track
constexpr Rect kPlayUnderTrack1 = PanelRect(8, 92, 46, 110);

// ---- the recording -------------------------------------------------------------------------------

// SDL's disk driver writes what the mixer opened: 44100 frames a second, each two signed
// 16-bit little-endian samples, left and right.
constexpr int kRate = 44100;
constexpr std::size_t kFrameBytes = 4;
constexpr std::size_t kWindow = kRate / 50;  // 20 ms
constexpr double kToneHz = 440.0;
// RMS of full-scale samples: 32767. The tone (amplitude 0.5) has some 11600.
constexpr double kSilentRms = 50.0;
constexpr double kLoudRms = 1000.0;
constexpr double kEdgeLevel = 1000.0;  // a sample this far from zero is part of a sound

struct Recording {
  std::vector<double> left, right;
  std::size_t Frames() const { return left.size(); }
  double Mid(std::size_t frame) const { return 0.5 * (left[frame] + right[frame]); }

  // Adds the whole frames written since the last read: the file grows while the editor runs.
  void ReadMore(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(Frames() * kFrameBytes));
    std::ostringstream rest;
    rest << in.rdbuf();
    const std::string bytes = rest.str();
    const auto sample = [&](std::size_t at) {
      return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                                           static_cast<std::uint8_t>(bytes[at + 1]) << 8));
    };
    for (std::size_t at = 0; at + kFrameBytes <= bytes.size(); at += kFrameBytes) {
      left.push_back(sample(at));
      right.push_back(sample(at + 2));
    }
  }
};

EditorSession::Environment DiskAudio(const fs::path& file) {
  return {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", file.string()}};
}

// The whole frames written so far; 0 while there is no file.
std::size_t RecordedFrames(const fs::path& file) {
  std::error_code error;
  const std::uintmax_t bytes = fs::file_size(file, error);
  return error ? 0 : static_cast<std::size_t>(bytes / kFrameBytes);
}

Recording ReadRecording(const fs::path& file) {
  Recording recording;
  recording.ReadMore(file);
  return recording;
}

double Seconds(std::size_t frames) {
  return static_cast<double>(frames) / kRate;
}

template <typename Sample>
double Rms(std::size_t from, std::size_t to, Sample sample) {
  double sum = 0.0;
  for (std::size_t frame = from; frame < to; ++frame) sum += sample(frame) * sample(frame);
  return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

// The power of one frequency in the frames (Goertzel's filter), of both channels together.
double Power(const Recording& recording, std::size_t from, std::size_t to, double hz) {
  const double k = 2.0 * std::cos(2.0 * std::numbers::pi * hz / kRate);
  double s1 = 0.0, s2 = 0.0;
  for (std::size_t frame = from; frame < to; ++frame) {
    const double s0 = recording.Mid(frame) + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// The loudest 20 ms window between the frames.
double LoudestRms(const Recording& recording, std::size_t from, std::size_t to) {
  double loudest = 0.0;
  for (std::size_t start = from; start < to; start += kWindow)
    loudest = std::max(
        loudest, Rms(start, std::min(to, start + kWindow), [&](std::size_t f) { return recording.Mid(f); }));
  return loudest;
}

// One stretch of sound: a run of loud 20 ms windows, its ends found to the frame.
struct Sound {
  double start = 0.0, seconds = 0.0;  // from the recording's start
  double hz = 0.0;                    // from its rising zero crossings
  double rms = 0.0, leftRms = 0.0, rightRms = 0.0;
  int windows = 0, toneWindows = 0;  // toneWindows: those where 440 Hz outweighs 300 and 600 Hz tenfold
  bool cut = false;                  // still sounding where the recording ends

  bool IsTone() const { return toneWindows * 5 >= windows * 4 && std::abs(hz - kToneHz) <= 10.0; }
  bool IsWholeTone() const { return IsTone() && !cut && seconds >= 0.4 && seconds <= 0.7; }
  std::string Said() const {
    char text[200];
    std::snprintf(
        text, sizeof text,
        "at %.2f s: %.3f s of %.1f Hz, RMS %.0f (left %.0f, right %.0f), 440 Hz ahead in %d of %d windows%s",
        start, seconds, hz, rms, leftRms, rightRms, toneWindows, windows, cut ? ", cut off by the end" : "");
    return text;
  }
};

std::vector<Sound> Sounds(const Recording& recording, std::size_t from) {
  const auto mid = [&](std::size_t frame) { return recording.Mid(frame); };
  const std::size_t windows = recording.Frames() > from ? (recording.Frames() - from) / kWindow : 0;
  const auto windowStart = [&](std::size_t window) { return from + window * kWindow; };
  std::vector<Sound> sounds;
  for (std::size_t a = 0; a < windows;) {
    if (Rms(windowStart(a), windowStart(a + 1), mid) <= kLoudRms) {
      ++a;
      continue;
    }
    std::size_t b = a + 1;
    while (b < windows && Rms(windowStart(b), windowStart(b + 1), mid) > kLoudRms) ++b;
    // The windows on either side may hold the sound's quiet ends.
    const std::size_t searchFrom = a > 0 ? windowStart(a - 1) : from;
    const std::size_t searchTo = std::min(recording.Frames(), windowStart(b + 1));
    std::size_t first = searchFrom, last = searchTo - 1;
    while (first < last && std::abs(mid(first)) < kEdgeLevel) ++first;
    while (last > first && std::abs(mid(last)) < kEdgeLevel) --last;

    Sound sound;
    sound.start = Seconds(first);
    sound.seconds = Seconds(last + 1 - first);
    sound.rms = Rms(first, last + 1, mid);
    sound.leftRms = Rms(first, last + 1, [&](std::size_t f) { return recording.left[f]; });
    sound.rightRms = Rms(first, last + 1, [&](std::size_t f) { return recording.right[f]; });
    sound.windows = static_cast<int>(b - a);
    for (std::size_t w = a; w < b; ++w) {
      const double tone = Power(recording, windowStart(w), windowStart(w + 1), kToneHz);
      const double others = std::max(Power(recording, windowStart(w), windowStart(w + 1), 300.0),
                                     Power(recording, windowStart(w), windowStart(w + 1), 600.0));
      sound.toneWindows += tone > 10.0 * others;
    }
    // Rising zero crossings, placed between their two frames.
    double firstCrossing = -1.0, lastCrossing = -1.0;
    int crossings = 0;
    for (std::size_t f = first + 1; f <= last; ++f)
      if (mid(f - 1) < 0.0 && mid(f) >= 0.0) {
        const double at = static_cast<double>(f - 1) + mid(f - 1) / (mid(f - 1) - mid(f));
        if (crossings++ == 0) firstCrossing = at;
        lastCrossing = at;
      }
    if (crossings > 1) sound.hz = (crossings - 1) * kRate / (lastCrossing - firstCrossing);
    sound.cut = b == windows;
    sounds.push_back(sound);
    a = b;
  }
  return sounds;
}

std::string SaidAll(const std::vector<Sound>& sounds) {
  std::string text;
  for (const Sound& sound : sounds) text += "\n      " + sound.Said();
  return sounds.empty() ? " none" : text;
}

int WholeTones(const std::vector<Sound>& sounds) {
  return static_cast<int>(
      std::count_if(sounds.begin(), sounds.end(), [](const Sound& s) { return s.IsWholeTone(); }));
}

// The sounds that have ended before the recording does.
int Ended(const std::vector<Sound>& sounds) {
  return static_cast<int>(std::count_if(sounds.begin(), sounds.end(), [](const Sound& s) { return !s.cut; }));
}

// ---- what each run should leave -------------------------------------------------------------

// "Play" pressed once, at the frame `pressed` of the recording, with TONE_440 chosen: silence
// before, then the tone once, as long as its file.
Problems PlayedProblems(const Recording& recording, std::size_t pressed, std::string* figures) {
  Problems problems;
  if (recording.Frames() < pressed + kRate) {
    return {"the recording holds " + std::to_string(Seconds(recording.Frames())) +
            " s, not a second past the press of \"Play\" at " + std::to_string(Seconds(pressed)) + " s"};
  }
  const double before = LoudestRms(recording, 0, pressed);
  const std::vector<Sound> sounds = Sounds(recording, pressed);
  char text[160];
  std::snprintf(text, sizeof text,
                "loudest 20 ms before the press at %.2f s: RMS %.1f; the %.2f s after it hold:",
                Seconds(pressed), before, Seconds(recording.Frames() - pressed));
  *figures = text + SaidAll(sounds);
  Check(&problems, before < kSilentRms, "the output is not silent before \"Play\" is pressed");
  Check(&problems, sounds.size() == 1,
        "not one sound after \"Play\" was pressed, but " + std::to_string(sounds.size()));
  if (sounds.empty()) return problems;
  const Sound& tone = sounds.front();
  Check(&problems, tone.IsTone(), "the sound is not a 440 Hz tone");
  Check(&problems, tone.seconds >= 0.4 && tone.seconds <= 0.7,
        "the tone does not last about the file's 0.5 s");
  Check(&problems, !tone.cut, "the tone has not ended where the recording does");
  Check(&problems, tone.rms > 40 * kSilentRms, "the tone is hardly louder than silence");
  Check(&problems, tone.leftRms > 0.5 * tone.rightRms && tone.rightRms > 0.5 * tone.leftRms,
        "the mono tone is not heard alike on both sides");
  return problems;
}

// A sound track of TONE_440 at Start 0 added at the frame `added`, the pointer playing the
// effect every 60 frames: silence before, then the tone again and again at an even pace.
Problems RepeatedProblems(const Recording& recording, std::size_t added, std::string* figures) {
  Problems problems;
  const double before = LoudestRms(recording, 0, added);
  const std::vector<Sound> sounds = Sounds(recording, added);
  std::vector<double> gaps;
  for (std::size_t i = 1; i < sounds.size(); ++i)
    if (!sounds[i].cut) gaps.push_back(sounds[i].start - sounds[i - 1].start);
  std::vector<double> sorted = gaps;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted.empty() ? 0.0 : sorted[sorted.size() / 2];
  char text[200];
  std::snprintf(text, sizeof text,
                "loudest 20 ms before the track was added at %.2f s: RMS %.1f; median gap %.2f s (%.0f ms a "
                "frame at 60 frames an emission); the %.2f s after it hold:",
                Seconds(added), before, median, median * 1000.0 / 60.0, Seconds(recording.Frames() - added));
  *figures = text + SaidAll(sounds);
  Check(&problems, before < kSilentRms, "the output is not silent before the effect has a sound track");
  Check(&problems, WholeTones(sounds) >= 3,
        "not 3 or more whole 0.4..0.7 s tones after the track was added, but " +
            std::to_string(WholeTones(sounds)));
  const auto wrong =
      std::find_if(sounds.begin(), sounds.end(), [](const Sound& s) { return !s.cut && !s.IsWholeTone(); });
  Check(&problems, wrong == sounds.end(),
        std::to_string(Ended(sounds) - WholeTones(sounds)) + " of the " + std::to_string(Ended(sounds)) +
            " sounds are not the whole tone, the first " + (wrong == sounds.end() ? "" : wrong->Said()));
  for (const double gap : gaps) {
    char said[120];
    std::snprintf(said, sizeof said, "a gap of %.2f s between tones, beyond 40%% off their median %.2f s",
                  gap, median);
    Check(&problems, std::abs(gap - median) <= 0.4 * median, said);
  }
  return problems;
}

// The last picture: the "Sounds" window active, with its labels, a track and the button
// moved below it.
Problems PictureProblems(const gfx::Image& picture) {
  if (picture.width != 700 || picture.height != 1000) return {"the editor picture is not 700x1000"};
  Problems problems;
  const Rect bar = Bounds(picture, kBelowMainTitleBar, TitleGreen);
  const int barPixels = Count(picture, kSoundsTitleBar, TitleGreen);
  char said[200];
  std::snprintf(said, sizeof said,
                "no green title bar of the Sounds window at (%d,%d)-(%d,%d): %d of its pixels green, all "
                "green below the main window's title within x %d..%d y %d..%d",
                kSoundsTitleBar.x0, kSoundsTitleBar.y0, kSoundsTitleBar.x1, kSoundsTitleBar.y1, barPixels,
                bar.x0, bar.x1, bar.y0, bar.y1);
  Check(&problems,
        barPixels > 6000 && bar.x0 >= kSoundsTitleBar.x0 - 3 && bar.x1 <= kSoundsTitleBar.x1 + 3 &&
            bar.y0 >= kSoundsTitleBar.y0 - 3 && bar.y1 <= kSoundsTitleBar.y1 + 3,
        said);
  Check(&problems, Count(picture, kMainTitleBar, TitleGreen) < 100,
        "the main window is still the active one");
  const struct {
    const char* what;
    Rect where;
  } kLabels[] = {
      {"the combo's label \"Sound\"", kSoundLabel},
      {"the field's label \"Tracks\"", kTracksLabel},
      {"the tree node \"Track1\"", kTrack1Label},
      {"the button \"Play\", below \"Track1\"", kPlayUnderTrack1},
  };
  for (const auto& label : kLabels) {
    const int count = Count(picture, label.where, TextWhite);
    Check(&problems, count > 25,
          std::string("no text where ") + label.what + " is: " + std::to_string(count) + " white pixels");
  }
  return problems;
}

TEST(SoundEndToEndTest, PlayButtonAndSoundTrackAreHeard) {
  if (const std::string problem = DisplayProblem(); !problem.empty()) GTEST_FAIL() << problem;
  const ScratchFolder scratch;
  const fs::path& folder = scratch.Path();

  // 1. "Play" with TONE_440 chosen sounds the tone once.
  Problems played;
  for (int session = 0; session < kSessions; ++session) {
    const std::string name = "played" + std::to_string(session);
    const fs::path recording = folder / (name + ".raw");
    fs::remove(folder / "imgui.ini");  // each run opens the Sounds window where it first appears
    std::size_t pressed = 0;
    {
      EditorSession editor(folder, name, DiskAudio(recording));
      ASSERT_TRUE(editor.Started());
      ASSERT_TRUE(editor.WaitUntil([&] { return fs::exists(recording); }))
          << "SDL's disk audio driver wrote no " << recording;
      editor.Click(kSoundIcon);
      editor.Click(kSoundCombo);
      editor.Click(kToneInCombo);
      pressed = RecordedFrames(recording);
      editor.Click(kPlayButton);
      editor.WaitUntil([&] { return RecordedFrames(recording) >= pressed + 2.2 * kRate; });
      editor.Quit();
    }
    std::string figures;
    played = PlayedProblems(ReadRecording(recording), pressed, &figures);
    std::printf("%s: %s\n", name.c_str(), figures.c_str());
    if (played.empty()) break;
    if (session + 1 < kSessions)
      std::printf("the session \"%s\" went wrong; trying again:%s\n", name.c_str(), Said(played).c_str());
  }
  EXPECT_TRUE(played.empty()) << "after choosing TONE_440 in the Sounds window and pressing \"Play\":"
                              << Said(played);

  // 2. and 3. A sound track on the selected effect: the pointer's effect, played every 60
  // frames, sounds the tone each time. The last picture shows the Sounds window with the track.
  Problems repeated;
  gfx::Image picture;
  for (int session = 0; session < kSessions; ++session) {
    const std::string name = "repeated" + std::to_string(session);
    const fs::path recording = folder / (name + ".raw");
    fs::remove(folder / "imgui.ini");
    std::size_t added = 0;
    {
      EditorSession editor(folder, name, DiskAudio(recording));
      ASSERT_TRUE(editor.Started());
      // Set while the main window is whole: the Sounds window would cover most of the drag.
      editor.CtrlClick(kEmissionInterval);
      editor.Type("60");
      editor.Key("Return");
      editor.Click(kSoundIcon);
      editor.Click(kSoundCombo);
      editor.Click(kToneInCombo);
      added = RecordedFrames(recording);
      editor.Click(kTracksPlus);
      // Four sounds make three gaps; at 60 frames an emission a slow machine needs some
      // seconds. The recording is read as it grows, not whole each time: the test's own work
      // slows the editor's frames down.
      Recording heard;
      editor.WaitUntil(
          [&] {
            heard.ReadMore(recording);
            return Ended(Sounds(heard, added)) >= 4;
          },
          40s);
      editor.MoveAway();
      picture = editor.Quit();
    }
    std::string figures;
    repeated = RepeatedProblems(ReadRecording(recording), added, &figures);
    std::printf("%s: %s\n", name.c_str(), figures.c_str());
    const Problems seen = PictureProblems(picture);
    repeated.insert(repeated.end(), seen.begin(), seen.end());
    if (repeated.empty()) break;
    if (session + 1 < kSessions)
      std::printf("the session \"%s\" went wrong; trying again:%s\n", name.c_str(), Said(repeated).c_str());
  }
  EXPECT_TRUE(repeated.empty())
      << "after setting Emission Interval to 60 and adding a TONE_440 track with \"+\":" << Said(repeated);

  // For a person to look at.
  if (!picture.Empty())
    gfx::WritePng(picture, (fs::path(EditorBinary()).parent_path() / "sound-e2e-last.png").string());
}

}  // namespace
}  // namespace e2e
