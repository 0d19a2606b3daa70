#include "cli/command/EncodingStamp.h"

#include <initializer_list>
#include <string_view>

namespace beatclone::cli {
namespace {

// The first child of `parent` named one of `names`, where a new element must go before it.
pugi::xml_node FirstOf(pugi::xml_node parent, std::initializer_list<std::string_view> names) {
    for (pugi::xml_node child : parent.children())
        for (std::string_view name : names)
            if (name == child.name()) return child;
    return {};
}

pugi::xml_node ChildBefore(pugi::xml_node parent, const char* name, std::initializer_list<std::string_view> later) {
    if (pugi::xml_node found = parent.child(name)) return found;
    pugi::xml_node before = FirstOf(parent, later);
    return before ? parent.insert_child_before(name, before) : parent.append_child(name);
}

} // namespace

void StampSoftware(pugi::xml_document& document, const std::string& program, const std::string& software) {
    pugi::xml_node root = document.document_element();
    if (!root) return;
    pugi::xml_node identification =
        ChildBefore(root, "identification", {"defaults", "credit", "part-list", "part", "measure"});
    pugi::xml_node encoding = ChildBefore(identification, "encoding", {"source", "relation", "miscellaneous"});
    for (pugi::xml_node old = encoding.child("software"); old;) {
        pugi::xml_node next = old.next_sibling("software");
        std::string_view text = old.child_value();
        if (text.substr(0, program.size() + 1) == program + " ") encoding.remove_child(old);
        old = next;
    }
    encoding.append_child("software").text().set(software.c_str());
}

} // namespace beatclone::cli
