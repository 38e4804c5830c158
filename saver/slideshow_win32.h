// The pictures of the saver's own package, drawn one after another. The saver's executable is a
// host file: its package holds the pictures (JPEG or BMP, told apart by their first bytes) and
// optionally the settings entry "Global Properties". A package that is missing or damaged, or
// pictures that do not decode, leave a show without pictures, which the caller fills with its
// own animation.
#pragma once

#include <windows.h>

#include "package/package_reader.h"
#include "saver/slides.h"

class Slideshow {
  public:
    Slideshow();

    // Opens the package at the end of `path` and reads its settings.
    void Open(const char* path);

    const SlideSettings& Settings() const { return settings_; }

    // Entries whose first bytes are those of a picture; whether they decode is not tried.
    uint32_t PictureCount();

    // Draws the picture after the current one, the first that decodes, on black into `dc`,
    // fitted to width x height and centred. False, leaving `dc` alone, when none decodes.
    bool DrawNext(HDC dc, int width, int height);

  private:
    Slideshow(const Slideshow&) = delete;
    Slideshow& operator=(const Slideshow&) = delete;

    bool IsSettingsEntry(int32_t index) const;
    void ReadSettings(int32_t index);
    bool DrawEntry(int32_t index, HDC dc, int width, int height);
    // The reader refuses every entry after one that failed; a fresh open forgets that failure.
    void Reopen();

    PackageReader reader_;
    char path_[MAX_PATH];
    int32_t count_;
    uint32_t current_;
    bool started_;
    uint32_t seed_;
    SlideSettings settings_;
};
