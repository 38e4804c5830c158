// libFuzzer target for the demo screen saver's parsers: any bytes as a BMP file, as settings
// text and as a command line. Whatever comes in, nothing may read outside it, and a BMP layout
// that is accepted must lie inside the bytes.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "saver/saver_args.h"
#include "saver/slides.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BmpLayout layout;
    if (ParseBmp(data, size, &layout)) {
        if (uint64_t(layout.bitsOffset) + layout.bitsSize > size ||
            uint64_t(layout.paletteOffset) + uint64_t(layout.colorCount) * 4 > layout.bitsOffset ||
            layout.colorCount > 256) {
            abort();
        }
    }
    SlideSettings settings = DefaultSettings();
    ApplySettings(reinterpret_cast<const char*>(data), size, &settings);
    if (settings.seconds < 1 || settings.seconds > kMaxSeconds) {
        abort();
    }
    const std::string commandLine(reinterpret_cast<const char*>(data), size);
    const SaverArgs args = ParseSaverArgs(SkipProgramName(commandLine.c_str()));
    if (args.mode == SaverMode::kPreview && args.window == 0) {
        abort();
    }
    return 0;
}
