#include "render/frame_writer.h"

#include "render/gif_writer.h"
#include "render/sequence_writer.h"
#include "render/sheet_writer.h"
#include "render/video_writer.h"

std::vector<int> FrameWriter::FramesWanted(int total) const {
  std::vector<int> frames(static_cast<std::size_t>(std::max(total, 0)));
  for (int i = 0; i < total; ++i) frames[i] = i;
  return frames;
}

std::unique_ptr<FrameWriter> MakeFrameWriter(const RenderSettings& settings, std::string* error) {
  std::unique_ptr<FrameWriter> writer;
  switch (settings.kind) {
    case OutputKind::kSheet:
      writer = std::make_unique<SheetWriter>(settings);
      break;
    case OutputKind::kSequence:
      writer = std::make_unique<SequenceWriter>(settings);
      break;
    case OutputKind::kGif:
      writer = std::make_unique<GifWriter>(settings);
      break;
    case OutputKind::kVideo:
      writer = std::make_unique<VideoWriter>(settings);
      break;
  }
  if (!writer || !writer->Open(error)) return nullptr;
  return writer;
}
