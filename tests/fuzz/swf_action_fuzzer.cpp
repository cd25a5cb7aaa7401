// Runs arbitrary bytes as the action blocks of a small movie: in two root
// frames and in both frames of a sprite. The first byte picks the movie's
// version. Every block ends within the tick's budget (smaller than the
// player's, so sessions explore more), commands stay bounded, and the
// timeline stays in range. The seeds cover functions, objects, arrays and
// try/catch as well as the timeline actions.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "rasterizer.h"
#include "render.h"
#include "stage.h"
#include "swf_movie.h"
#include "swf_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int version = 4 + data[0] % 7;
  const swf::testing::Bytes code(data + 1, data + size);

  swf::testing::MovieBuilder movie(20, 20, 24, version);
  swf::testing::ShapeBuilder square;
  square.Rectangle(0, 0, 10, 10, square.AddSolidFill({200, 100, 50}));
  const std::uint16_t shape = movie.DefineShape(square);
  swf::testing::SpriteBuilder sprite;
  sprite.Place(shape, 1).DoActionBytes(code).ShowFrame().DoActionBytes(code).ShowFrame();
  const std::uint16_t clip = movie.DefineSprite(sprite);
  movie.Place(clip, 1).DoActionBytes(code).FrameLabel("two").ShowFrame();
  movie.DoActionBytes(code).ShowFrame().ShowFrame();

  std::optional<swf::Movie> parsed = swf::ParseMovie(movie.Build());
  FUZZ_CHECK(parsed.has_value());
  swf::Stage stage(std::move(*parsed), 5000);
  // trace() converts its value to text through the script machine, so the
  // sink makes those conversions run too.
  stage.SetTraceSink([](std::string_view line) { FUZZ_CHECK(line.size() <= swf::kMaxStringBytes); });
  stage.SetRootVariable("a", "1");
  stage.SetRootVariable("b", "two");
  stage.Start();
  for (int i = 0; i < 4; ++i) {
    FUZZ_CHECK(stage.Root().frame >= 0 && stage.Root().frame < 3);
    FUZZ_CHECK(stage.TakeCommands().size() <= swf::kMaxPendingCommands);
    stage.Tick();
    // The pointer over what the scripts made (scroll windows, buttons), and
    // the Tab key, which may focus one and show its rectangle.
    stage.PointerMove(60.0 * i, 40.0 * i);
    stage.KeyChange(true, 9, 9);
    stage.KeyChange(false, 9, 9);
  }
  std::vector<std::uint32_t> pixels(16 * 16);
  swf::Rasterizer rasterizer;
  swf::RenderStage(stage, swf::Surface{pixels.data(), 16, 16, 16}, swf::ScaleMode::ShowAll, rasterizer);
  return 0;
}
