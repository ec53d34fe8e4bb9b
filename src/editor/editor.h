#pragma once
// The editor front end: its own copy of every effect, the tags it lists, which tag and which
// definition are selected, and every editor window, built once a frame with the interface
// library in the "Child" window. Every frame the selected effect is copied into the
// manager's effect table, which the emitters read.

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/autosave.h"
#include "editor/preview_controls.h"
#include "editor/recent_files.h"
#include "editor/undo_history.h"
#include "effect/effect_table.h"
#include "effectfile/document_file.h"
#include "effectfile/editor_document.h"
#include "platform/window_system.h"
#include "ui/file_browser.h"
#include "ui/implot.h"
#include "ui/widgets.h"

struct FrameFigures;
namespace platform {
class Clock;
class InterfaceBackend;
}

class CEditor {
 public:
  static constexpr int kDefaultEmissionInterval = 150;
  static constexpr int kMinEmissionInterval = 15;
  static constexpr int kMaxEmissionInterval = 1000;
  static constexpr std::size_t kTextSize = 256;
  // Billboard particle count and lifetime limits, lower while the definition collides.
  static constexpr int kQuantityLimit = 400;
  static constexpr int kPhysicsQuantityLimit = 150;
  static constexpr int kPopTimeLimit = 500;
  static constexpr int kPhysicsPopTimeLimit = 125;
  // Below this share of real time the main window says how slowly the effect plays.
  static constexpr double kRealtimeShown = 0.95;

  CEditor();
  ~CEditor();

  // Fills the first effect, "Begin", and puts it in the effect table. Always 0.
  int Init();
  // Takes the interface library's back ends (the library's context must be current).
  void AttachInterface(std::unique_ptr<platform::InterfaceBackend> backend);
  bool HasInterface() const { return interface_ != nullptr; }
  // Shuts the back ends down, then destroys the plot layer's context and the library's.
  void Uninit();
  // One frame: the selected effect goes to the effect table, then every editor window is
  // built (none when show is false). Returns the new showAnother. Without an interface only
  // the effect table is fed.
  bool Update(bool show, bool showAnother);
  // Draws the frame's interface on the editor window's device (inside its scene).
  void Draw();
  std::string GetTag() const { return CurrentTag; }
  // Nothing the editor shows would change until input comes: the preview paused with nothing
  // asked of it, no field being typed into and no widget held.
  bool CanIdle() const;
  // Opens a document of any of the three formats, told apart by content. An editor document
  // becomes the document edited (Save writes back to it); particle JSON and text load as the
  // File menu loads them: merged into the effects, tags refreshed, the last tag selected.
  // False, having said why, when it cannot be read; nothing is then changed.
  bool OpenDocument(const std::string& path);
  // Whether a document opened this run, from the File menu or the command line, could not be
  // read (the user was told); an automated run then ends in failure.
  bool DocumentFailed() const { return documentFailed_; }

  // ---- the document being edited, its history and its safety net (document_state.cpp)
  // Everything the user edits, with the selection.
  EditorDocument MakeDocument() const;
  // Replaces everything the user edits by the document's contents and selection; the effect
  // table follows.
  void ApplyDocument(const EditorDocument& document);
  // The file Save writes to; empty for an untitled document.
  const std::string& DocumentPath() const { return documentPath_; }
  // Whether the effects differ from what was last saved or opened.
  bool IsDirty() const { return history_.Current().Id != savedStateId_; }
  // The document's file name ("untitled" without one), with " *" while unsaved.
  std::string DocumentTitle() const;
  const UndoHistory& History() const { return history_; }
  // Interactive runs only: autosaves go to the folder, timed by the clock. Without this the
  // editor never asks before quitting and never touches an autosave (automated runs).
  void EnableAutosave(std::string folder, platform::Clock& clock);
  // At start: an autosave newer than the document is offered (Recover / Discard).
  void OfferRecovery();
  // The user asked to end the program. Quits at once (QuitDecided) when nothing is unsaved or
  // the run is automated; otherwise asks Save / Don't Save / Cancel. Escape while a question
  // or the file browser is open closes that instead.
  void RequestQuit(platform::CloseRequest how);
  bool QuitDecided() const { return quitDecided_; }
  // A run ending without asking (a signal, a lost display) keeps unsaved work as an autosave.
  void SaveForRecovery();
  // A run ending normally: with nothing unsaved, the autosave goes.
  void EndSession();
  // Once a frame, after the panels: a change the user has finished becomes an undo step, and
  // the autosave is written when it is due.
  void KeepDocumentSafe();
  // Opens a file dropped on a window, as Open does.
  void OpenDroppedFile(const std::string& path);

  // The definition every new effect starts from.
  static ParticleParams BeginDefinition();
  // The definition the selected effect edits at ItemIndex, or null when it has none.
  ParticleParams* SelectedDefinition();

  EffectTable Effects;
  std::vector<std::string> Tags;
  std::string CurrentTag;
  std::array<float, 4> PlotColor{};
  int TagIndex = 0;
  int ItemIndex = 0;
  int ObjectTypeIndex = 0;
  int TextureIndex = 0;
  int MaskTextureIndex = 0;
  int ModelIndex = 0;
  int BehaviorIndex = 0;
  int LockPosIndex = 0;
  int RandomBehaviorIndex = 0;
  int PhysicsTypeIndex = 0;
  int TrailTextureIndex = 0;
  int QuantityLimit = kQuantityLimit;
  int PopTimeLimit = kPopTimeLimit;
  int EmissionInterval = kDefaultEmissionInterval;
  bool MouseOverWindow = false;
  bool ShowParticles = false;
  bool ShowSounds = false;
  bool ShowMain = true;
  bool ShowAnother = false;
  bool ShowPreview = true;
  // The scene's transport, which the preview player acts on once a frame.
  PreviewControls Preview;
  bool ShowStats = false;
  // The 3D pointer stays hidden while set; it takes the pointer's visibility at the first
  // frame, so a pointer that starts visible is hidden from then on.
  bool PointerHidden = false;

  // Interface state kept for the whole run, shared by all tags.
  std::array<char, kTextSize> TagInput{};
  std::array<char, kTextSize> NewTagInput{};
  bool ContextArmed = false;
  bool RenameMode = false;
  bool CopyMode = false;
  int CopyTargetIndex = 0;
  WidgetState Widgets;

  // The "Sounds" window's state for the whole run: a track list per effect tag. Each track's
  // combo shows the track's own sound, so no selection is kept per track.
  struct SoundPanelState {
    std::map<std::string, std::vector<SoundTrack>> TrackLists;
    SoundTrack NewTrack;
    int SoundIndex = 0;
    int TrackCount = 0;
  };
  SoundPanelState Sound;

  // The "Plot" section's curve editor, one for the whole run whichever definition is shown:
  // per channel, the points shown (x the frame, y the value) and a cursor kept at their count - 1.
  struct CurveEditorState {
    static constexpr int kChannels = 4;
    std::array<std::vector<ImPlotPoint>, kChannels> PlotSeries;
    std::array<int, kChannels> PlotCursors{};
    int ElementTypeIndex = 0;
    int PlotChannel = 0;
    // The definition the series show (its tag and index), and whether a point was dragged or
    // removed last frame, to be written into it.
    std::pair<std::string, int> Shown{"", -1};
    bool PointsMoved = false;
  };
  CurveEditorState Curve;

 private:
  // ---- the main window's parts, in the order they are drawn
  void ShowFileMenu();
  void ShowPointerButton();
  // "realtime 0.62x" beside the frame rate while the effect plays slower than real time.
  void ShowRealtime();
  void ShowNotices();
  void ShowTagCreation();
  void ShowTagList();
  void ShowTagContextMenu();
  void ShowRename();
  void ShowCopy();
  void ShowDefinitionList();
  void ShowEmissionInterval();
  void ShowPanelWindows();
  void ShowSoundPanel(EmissionParams& e);
  // ---- the "Stats" window (stats_window.cpp): its checkbox beside the pointer button
  void ShowStatsToggle();
  void ShowStatsWindow();
  void ShowFrameTimePlot(const FrameFigures& figures);

  // ---- the "Preview" window, its menu and its keys (preview_window.cpp)
  void ShowPreviewWindow();
  void ShowPreviewMenu();
  void HandlePreviewShortcuts();
  void StepPreview();

  // ---- the "Particles" window's panels
  void ShowParticlePanel(ParticleParams& def);
  void ShowBillboardPanel(BillboardParams& b, EmissionParams& e);
  void ShowTrailControls(BillboardParams& b);
  // A line under a row whose setting cannot show as it stands ("the trail has no width").
  void ShowHint(const std::string& text);
  void ShowMeshPanel(MeshParams& m, EmissionParams& e);
  void ShowModelCombo(EmissionParams& e);
  // Kind 0 edits the selected definition's texture, kind 1 its mask texture.
  void ShowTextureCombo(int kind);
  void ShowPhysicsPanel(EmissionParams& e);
  // ---- the billboard panel's "Plot" section (curve_editor.cpp)
  void ShowPlotEditor(BillboardParams& b);
  void FillPlotSeries(const BillboardParams& b);
  void ShowPlot(BillboardParams& b, std::vector<ImPlotPoint>& s, int& c);
  void WritePlotPoints(BillboardParams& b, const std::vector<ImPlotPoint>& s) const;
  // The limits follow the shown definition's "Use Physics"; the corrections apply when the
  // user edits a value, so a loaded value above a limit stays until it is edited.
  void SetLimits(bool usePhysics);
  void CorrectQuantity(int& quantity) const;
  void CorrectPopTime(int& popTime) const;

  // ---- the File and Edit menus, shortcuts, saves (file_menu.cpp)
  void ShowEditMenu();
  // The Open Recent submenu; true when an entry was chosen.
  bool ShowRecentMenu();
  void ShowDocumentName();
  void HandleShortcuts();
  void NewDocument();
  bool SaveDocument();
  bool SaveDocumentAs(const std::string& path);
  bool OpenEditorDocument(const std::string& path);
  void ExportRuntimeDocument(bool text);
  void CopyDefinition();
  void PasteDefinitions();
  void DuplicateEffect();

  // ---- questions and the file browser (document_dialogs.cpp)
  enum class PendingAction { None, Quit, New, Open };
  // Runs the action now, or first asks about unsaved changes.
  void AfterAskingToSave(PendingAction action, std::string path = {});
  void RunPendingAction();
  void ShowDialogs();
  void ShowUnsavedQuestion();
  void ShowRecoveryOffer();
  void OpenSaveBrowser();
  // Where the browser starts: the document's folder, else the data folder.
  std::string BrowserFolder() const;

  // ---- history (document_state.cpp)
  std::vector<EditorEffect> EffectsInOrder() const;
  // The effects, tags, track lists and unknown keys emptied; one effect added to them.
  void ClearEffects();
  void AddEffect(const EditorEffect& effect);
  // Records a step when the effects changed since the last one and no widget is held.
  void TrackChanges();
  // The next recorded step takes this name (a command's change, a load).
  void NoteChange(std::string name);
  // Records whatever differs from the history's state now, held widget or not.
  void CommitPending();
  void RestoreSnapshot(const EditorSnapshot& snapshot);
  void Undo();
  void Redo();
  // The history starts again here, the document as on disk.
  void ResetHistory(bool saved);
  void MarkSaved();
  // After a change of the effects behind the panels' back: selection inside, the table fed.
  void AfterEffectsReplaced();

  // ---- what the menus and buttons do
  void SelectTag();
  void RefreshTags();
  bool LoadText(const std::string& path);
  bool LoadJson(const std::string& path);
  bool LoadDocument(const std::string& path, DocumentError (*load)(EffectTable*, const std::string&));
  // The first definition of the first tag, which new tags and "+" copy ("Begin"'s own
  // definition when the first tag has none).
  ParticleParams TemplateDefinition();
  void RenameSelectedTag(const std::string& newName);
  void KeepItemIndexInside();
  // Begins "Particles", "Sounds" or "Another Window".
  void BeginPanelWindow(const char* name, bool* open = nullptr);
  // Sets MouseOverWindow from the window being built.
  void TestMouseOverWindow();

  std::unique_ptr<platform::InterfaceBackend> interface_;
  bool firstUpdate_ = true;
  bool frameStarted_ = false;
  bool panelSizePending_ = false;
  bool documentFailed_ = false;
  std::vector<std::string> itemLabels_;  // "Item : n" for every definition index shown so far

  // ---- the document
  std::string documentPath_;
  UndoHistory history_;
  std::uint64_t savedStateId_ = 0;
  std::string pendingChangeName_;
  int inputFrames_ = 0;  // frames left in which input may still show up as a change
  // Keys of the document this version does not know, kept to be written back.
  Json unknownTop_ = Json::object();
  struct UnknownKeys {
    Json effect = Json::object();
    std::vector<Json> definitions;
  };
  std::map<std::string, UnknownKeys> unknownByTag_;
  std::unique_ptr<Autosave> autosave_;
  std::optional<Autosave::Recovery> recovery_;
  RecentFiles recentFiles_{RecentFiles::DefaultPath()};
  ui::FileBrowser browser_;
  enum class BrowsePurpose { Open, SaveAs };
  BrowsePurpose browsePurpose_ = BrowsePurpose::Open;
  PendingAction pendingAction_ = PendingAction::None;
  std::string pendingPath_;
  bool askingToSave_ = false;
  std::string focusBeforeQuestion_;  // the window the question gives the keyboard back to
  int quitFrames_ = 0;               // frames until a quit decided on takes effect
  bool quitDecided_ = false;
  int stepKeyHeld_ = 0;  // frames the scene window's period key has been held
};
