// Reading engine values in the form a wire type needs. A result column's values normally have
// the column's own type; these helpers also accept any other numeric or textual value, so an
// engine expression typed loosely never desynchronises the stream.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace tds {

int64_t IntOf(const engine::Value& v);
double DoubleOf(const engine::Value& v);
// The value as units of 10^-scale, rounded half away from zero.
int64_t DecimalUnits(const engine::Value& v, uint8_t scale);
uint64_t DecimalMagnitude(const engine::Value& v, uint8_t scale);
std::string StringOf(const engine::Value& v);
engine::DateTime DateTimeOf(const engine::Value& v);
// "6F9619FF-8B86-D011-B42D-00C04FC964FF" in the wire order: the first three groups little-endian.
std::array<uint8_t, 16> GuidBytes(std::string_view text);
std::string GuidText(const uint8_t* bytes);

}  // namespace tds
