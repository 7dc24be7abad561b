#pragma once

#include <string>
#include <vector>

// The readable text of an HTML page: tags dropped, scripts and styles left out, character
// references decoded, runs of white space folded, and the page's blocks (paragraphs, headings,
// list items, table rows, line breaks) kept as separate paragraphs. No markup is interpreted
// beyond that, so nothing in the page can run or reach anything.
class SHtmlText {
public:
    struct Block {
        std::string text;
        bool heading = false;  // h1 to h6
    };
    static std::vector<Block> ToBlocks(const std::string& html);
    // The blocks' texts alone.
    static std::vector<std::string> ToParagraphs(const std::string& html);
    // Decodes one character reference ("amp", "#233", "#x20AC"); empty when unknown.
    static std::string DecodeEntity(const std::string& name);
};
