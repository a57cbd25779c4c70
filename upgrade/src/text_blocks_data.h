// The text blocks as generated at build time by upgrade/reference/generate_blocks.py.
#ifndef CLUBIQA_UPGRADE_TEXT_BLOCKS_DATA_H_
#define CLUBIQA_UPGRADE_TEXT_BLOCKS_DATA_H_

#include <span>
#include <string_view>

namespace upgrade::internal {

struct BlockLines {
  std::string_view name;
  std::span<const char* const> lines;  // Windows-1252 bytes, without line ends
};

std::span<const BlockLines> EmbeddedBlocks();

}  // namespace upgrade::internal

#endif  // CLUBIQA_UPGRADE_TEXT_BLOCKS_DATA_H_
