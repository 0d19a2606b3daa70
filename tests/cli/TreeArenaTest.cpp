// The command's allocator for pugixml: blocks of every size class, and a corpus score parsed,
// edited and saved through it.
#include "CliTestSupport.h"

#include "cli/musicxml/ScoreFile.h"
#include "cli/musicxml/TreeArena.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

using beatclone::cli::TreeArena;
using beatclone::cli::test::CorpusDir;
using beatclone::cli::test::ReadText;

namespace {

// Around each class boundary: empty, a link's worth, pugixml's page, the largest fine and
// coarse classes, and blocks with mappings of their own.
const std::vector<size_t> kSizes = {0, 1, 8, 17, 32 * 1024 - 40, 65536 - 16, 65536, 1 << 20, (1 << 20) + 1, 5 << 20};

std::string ParseEditSave(const std::string& text) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_buffer(text.data(), text.size(), beatclone::cli::kParseOptions));
    // Removing and adding nodes frees and takes blocks while the tree is live.
    for (pugi::xml_node part : document.document_element().children("part")) {
        pugi::xml_node first = part.first_child();
        pugi::xml_node copy = part.append_copy(first);
        part.remove_child(first);
        part.insert_move_before(copy, part.first_child());
    }
    std::ostringstream out;
    document.save(out, "  ");
    return out.str();
}

} // namespace

TEST(TreeArena, BlocksAreAlignedSeparateWritableAndTakenAgain) {
    std::vector<unsigned char*> blocks;
    for (size_t i = 0; i < kSizes.size(); ++i) {
        auto* block = static_cast<unsigned char*>(TreeArena::Allocate(kSizes[i]));
        ASSERT_NE(block, nullptr) << kSizes[i];
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u) << kSizes[i];
        std::memset(block, static_cast<int>(i + 1), kSizes[i]);
        blocks.push_back(block);
    }
    // Each still holds its own pattern: no block reaches into another or into a header.
    for (size_t i = 0; i < kSizes.size(); ++i) {
        for (size_t b = 0; b < kSizes[i]; b += 997) ASSERT_EQ(blocks[i][b], i + 1) << kSizes[i];
        if (kSizes[i] > 0) {
            EXPECT_EQ(blocks[i][kSizes[i] - 1], i + 1) << kSizes[i];
        }
    }
    for (unsigned char* block : blocks) TreeArena::Deallocate(block);
    TreeArena::Deallocate(nullptr);

    if (!TreeArena::Available()) return;
    EXPECT_EQ(TreeArena::Allocate(SIZE_MAX - 8), nullptr);
    // A block given back is the next one of its class handed out, and of no other class.
    void* page = TreeArena::Allocate(32 * 1024 - 40);
    TreeArena::Deallocate(page);
    void* other = TreeArena::Allocate(32 * 1024 - 24);
    EXPECT_NE(other, page);
    EXPECT_EQ(TreeArena::Allocate(32 * 1024 - 44), page);
    TreeArena::Deallocate(page);
    TreeArena::Deallocate(other);
}

TEST(TreeArena, ScoreParsedEditedAndSavedThroughItReadsAsThroughTheHeap) {
    const std::string text = ReadText(CorpusDir() / "music21-bach-bwv66.6-chorale.musicxml");
    const std::string throughHeap = ParseEditSave(text);
    ASSERT_FALSE(throughHeap.empty());

    const pugi::allocation_function heapAllocate = pugi::get_memory_allocation_function();
    const pugi::deallocation_function heapDeallocate = pugi::get_memory_deallocation_function();
    pugi::set_memory_management_functions(TreeArena::Allocate, TreeArena::Deallocate);
    const std::string throughArena = ParseEditSave(text);
    pugi::set_memory_management_functions(heapAllocate, heapDeallocate);
    EXPECT_EQ(throughArena, throughHeap);
}
