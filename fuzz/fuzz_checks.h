#pragma once

// The checks the fuzz targets run on each input. They are plain functions, built both into the
// libFuzzer targets and into the replay program of the normal build, which runs them on every
// kept regression input. A failed invariant prints what failed and aborts.

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Takes `data` as the bytes of a database file: opens it read-only and for writing; when it
// opens, walks it by batch read and by cursor, reads every field, appends, rewrites fields,
// marks, purges, closes and reopens, checking the store's invariants after each step.
void checkDatabase(const uint8_t* data, size_t size);

// Takes `data` as the bytes of the settings file: reads the count, the categories and other
// keys, loads the category lists, adds and removes a category, and checks that what was written
// reads back.
void checkSettings(const uint8_t* data, size_t size);

}  // namespace fuzz
