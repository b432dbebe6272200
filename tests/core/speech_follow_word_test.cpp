#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/speech/follow_word.h"

namespace aurisona {
namespace {

TEST(FollowWordTest, FollowsSpokenWordsThroughTheEditorText) {
  const std::u16string editor = u"<男>Hello, Tom. Hello again! 你好";
  const std::u16string spoken = u"Hello, Tom. Hello again! ";
  FollowWordState state;
  using Sel = std::optional<WordSelection>;
  EXPECT_EQ(FollowWord(spoken, 0, 5, editor, state), Sel(WordSelection{3, 8}));
  EXPECT_EQ(FollowWord(spoken, 0, 5, editor, state), std::nullopt);  // the same position again
  EXPECT_EQ(state.searchPosition, 8);
  EXPECT_EQ(FollowWord(spoken, 7, 3, editor, state), Sel(WordSelection{10, 13}));
  // The second "Hello" is found after the first.
  EXPECT_EQ(FollowWord(spoken, 12, 5, editor, state), Sel(WordSelection{15, 20}));
  // A word missing from the rest of the text changes nothing.
  EXPECT_EQ(FollowWord(spoken, 7, 3, editor, state), std::nullopt);
  EXPECT_EQ(state.searchPosition, 20);
  // Case matters.
  EXPECT_EQ(FollowWord(u"AGAIN", 0, 5, editor, state), std::nullopt);
  // Offsets and lengths outside the spoken text do not reach past it.
  state.lastWordPosition = -1;
  EXPECT_EQ(FollowWord(spoken, 18, 500, editor, state), Sel(WordSelection{21, 28}));
  EXPECT_EQ(FollowWord(spoken, 900, 3, editor, state), std::nullopt);
  EXPECT_EQ(FollowWord(spoken, -4, 3, editor, state), std::nullopt);
  // A search position outside the editor text finds nothing.
  FollowWordState outside{int(editor.size()) + 1, -1};
  EXPECT_EQ(FollowWord(spoken, 0, 5, editor, outside), std::nullopt);
  FollowWordState negative{-1, -1};
  EXPECT_EQ(FollowWord(spoken, 0, 5, editor, negative), std::nullopt);
}

}  // namespace
}  // namespace aurisona
