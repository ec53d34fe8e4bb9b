#pragma once
// The speed and memory targets, as data: each benchmark's measure, the limit it is held to,
// and which way the limit goes. `make bench` prints every figure beside its target.

enum class Limit { kAtMost, kAtLeast };

struct BenchTarget {
  const char* benchmark;  // the run's name up to its arguments ("BM_X/1000" or "BM_X")
  const char* measure;    // a counter of the run, or "time_ms" for its time per iteration
  Limit limit;
  double target;
  const char* unit;
};

// A frame at the real-time pace: 16 ms of wall time a step.
inline constexpr double kFrameMs = 16;

inline constexpr BenchTarget kBenchTargets[] = {
    {"BM_UpdateAllLiveObjects/100000", "ns_per_object", Limit::kAtMost, 10, "ns"},
    {"BM_CreateAndPurgePerFrame/10000", "ns_per_object", Limit::kAtMost, 100, "ns"},
    {"BM_GlQuadsWithStateSetAndRestore/1000/1", "cpu_us_per_draw", Limit::kAtMost, 0.3, "us"},
    {"BM_GlQuadsWithStateSetAndRestore/10000/1", "cpu_us_per_draw", Limit::kAtMost, 0.3, "us"},
    {"BM_GlQuadsWithStateSetAndRestore/1000/0", "cpu_us_per_draw", Limit::kAtMost, 2, "us"},
    {"BM_GlQuadsWithStateSetAndRestore/10000/0", "cpu_us_per_draw", Limit::kAtMost, 2, "us"},
    {"BM_UpdateAllAfterChurn", "ns_per_particle", Limit::kAtMost, 15, "ns"},
    // Our share of the CPU a flare costs: above the prebuilt draw of the same quads in the same
    // run. The software renderer does its vertex work on the calling thread, 0.3 to 0.5 us a
    // particle even for that one draw, which no code of ours can take away.
    {"BM_DrawAllFlareParticles/4000", "cpu_us_above_limit", Limit::kAtMost, 0.15, "us"},
    {"BM_DrawAllFlareParticles/4000", "frame_to_limit", Limit::kAtMost, 1.3, "x"},
    {"BM_SpawnEmitterOf400", "time_ms", Limit::kAtMost, 2, "ms"},
    {"BM_DrawCubeMeshParticles/fixed/400", "cpu_us_per_particle", Limit::kAtMost, 3, "us"},
    {"BM_DrawCubeMeshParticles/effect/400", "cpu_us_per_particle", Limit::kAtMost, 5, "us"},
    {"BM_SpawnMeshEmitterOf400", "time_ms", Limit::kAtMost, 2, "ms"},
    {"BM_UpdateFullTrail", "us_per_update", Limit::kAtMost, 2, "us"},
    {"BM_FullTrailsFrameNull/400", "frame_ms", Limit::kAtMost, 3, "ms"},
    {"BM_FullTrailsFrameGl/400", "cpu_ms_per_frame", Limit::kAtMost, 3, "ms"},
    {"BM_CollideInOneCell/150", "us_per_frame", Limit::kAtMost, 150, "us"},
    {"BM_EmitterGridCreation", "us_added_by_grid", Limit::kAtMost, 100, "us"},
    {"BM_SaveParticleJson", "MB_per_s", Limit::kAtLeast, 20, "MB/s"},
    {"BM_LoadParticleJson", "MB_per_s", Limit::kAtLeast, 20, "MB/s"},
    {"BM_SaveParticleText", "MB_per_s", Limit::kAtLeast, 20, "MB/s"},
    {"BM_LoadParticleText", "MB_per_s", Limit::kAtLeast, 20, "MB/s"},
    {"BM_EditorDocumentSave", "MB_per_s", Limit::kAtLeast, 50, "MB/s"},
    {"BM_EditorDocumentLoad", "MB_per_s", Limit::kAtLeast, 50, "MB/s"},
    // A save as the File menu makes it: the text, then the temporary file written, synced,
    // renamed and its folder synced, in real time. The syncs cost what the disk takes to make
    // the data durable; /synced:0 runs the same steps without them, so the difference is that
    // cost: 1 to 9 ms a save of 1.3 MB (text) or 1.6 MB (JSON) on this machine's virtual disk,
    // depending on what else is writing; on a spinning disk or slow flash, tens of milliseconds.
    {"BM_SaveParticleTextToDisk/synced:1", "MB_per_s", Limit::kAtLeast, 20, "MB/s"},
    {"BM_SaveParticleJsonToDisk/synced:1", "MB_per_s", Limit::kAtLeast, 20, "MB/s"},
    {"BM_StartUpToFirstFrame", "time_ms", Limit::kAtMost, 250, "ms"},
    {"BM_EditorFrameWithPanelsOpen", "cpu_ms_per_frame", Limit::kAtMost, 0.5, "ms"},
    {"BM_PlotOf1000Points", "cpu_ms_per_frame", Limit::kAtMost, 0.2, "ms"},
    {"BM_DecodeMp3", "x_real_time", Limit::kAtLeast, 200, "x"},
    {"BM_UndoStep", "ms_per_step", Limit::kAtMost, 2, "ms"},
    // A timeline's seek rebuilds an emission without drawing it: it must fit in one frame.
    {"BM_SeekFlares", "ms_per_seek", Limit::kAtMost, kFrameMs, "ms"},
    // Paused with no input the editor sleeps between events; its wakes for the timers cost little.
    {"BM_IdlePausedEditor", "cpu_percent", Limit::kAtMost, 5, "%"},
    // Real time is 62.5 steps a second; what the loop drops beyond 7 steps a frame shows here.
    {"BM_StepsPerSecondFlaresAndTrails", "steps_per_s", Limit::kAtLeast, 62, "steps/s"},
    {"BM_EditorFrameUndoAutosave", "ms_added_per_frame", Limit::kAtMost, 0.02, "ms"},
    // What watching the data files adds to an idle frame: a look at the kernel's notifications,
    // or, where there are none, the files' times once a second.
    {"BM_IdleFrameWatching", "ms_added_per_frame", Limit::kAtMost, 0.01, "ms"},
    {"BM_IdleFrameWatchingByPolling", "ms_added_per_frame", Limit::kAtMost, 0.01, "ms"},
    // The frame figures' share of a frame of 4,000 particles and 4,400 scene objects.
    {"BM_FrameStatsCost", "us_per_frame", Limit::kAtMost, 20, "us"},
    // Renders as --render makes them, start-up of the device and resources included.
    {"BM_RenderSheet", "time_ms", Limit::kAtMost, 2000, "ms"},
    {"BM_RenderGif", "time_ms", Limit::kAtMost, 3000, "ms"},
};

// Families of benchmarks held to one target: every benchmark whose name holds the part must
// have that target in kBenchTargets, so a new one cannot be added without it.
struct FamilyTarget {
  const char* namePart;
  const char* measure;
  Limit limit;
  double target;
};

inline constexpr FamilyTarget kFamilyTargets[] = {
    {"Seek", "ms_per_seek", Limit::kAtMost, kFrameMs},
};
