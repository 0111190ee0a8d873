// Test helpers that turn cards into text and back.
#include "tests/support/card_text.h"

#include "card/io.h"
#include "card/tree.h"
#include "tools/dump.h"

#include <vector>

namespace {

std::vector<PropertyNode*> PropertiesInOrder(const CardDocument& document)
{
    std::vector<PropertyNode*> properties;
    document.ForEachProperty([&](const char*, PropertyNode* property) {
        properties.push_back(property);
        return true;
    });
    return properties;
}

}  // namespace

HRESULT TestCard::Load(const std::string& text)
{
    MemoryInput input(text);
    return document.ReadCard(input);
}

std::string TestCard::Save(HRESULT* result)
{
    MemoryOutput output;
    HRESULT written = document.WriteCard(output);
    if (result != nullptr) *result = written;
    return output.text;
}

std::string TestCard::Dump() const
{
    TextBuffer text;
    DumpCard(document, text);
    return std::string(text.Data(), text.Length());
}

PropertyNode* TestCard::Property(int index) const
{
    std::vector<PropertyNode*> properties = PropertiesInOrder(document);
    return index >= 0 && index < (int)properties.size() ? properties[(size_t)index] : nullptr;
}

int TestCard::PropertyCount() const
{
    return (int)PropertiesInOrder(document).size();
}

std::string TestCard::Why() const
{
    const Refusal& refusal = document.LastRefusal();
    return "refusal " + std::to_string((int)refusal.kind) + " at line " + std::to_string(refusal.line) + ": " +
           refusal.texts[0] + " | " + refusal.texts[1];
}

std::string Lines(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}
