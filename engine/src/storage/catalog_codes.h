// How catalog facts are spelled in the metadata tables: type codes are SQL Server's systypes
// xtype numbers (56 = int, 167 = varchar, ...), so that support staff recognise them, and
// column lists are comma-separated colids ("3,5").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"

namespace engine::storage {

int TypeCode(TypeId id);
TypeId TypeFromCode(int code);  // kNull for an unknown code

std::string FormatIntList(const std::vector<int>& values);
std::vector<int> ParseIntList(std::string_view text);

}  // namespace engine::storage
