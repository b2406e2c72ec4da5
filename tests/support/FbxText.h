#pragma once
// Text FBX files from Assimp's exporter with their curves' interpolation set: it writes every
// key straight, its flags and their data as one run of values.
#include <string>

namespace tavrel::testing {

// Every array record of that name given these values ("2" or "40,-25,0,0"); the count.
inline int SetFbxTextValues(std::string& text, const std::string& record, const std::string& values) {
    int count = 0;
    for (size_t at = text.find("\t" + record + ": *"); at != std::string::npos;
         at = text.find("\t" + record + ": *", at + 1), ++count) {
        const size_t from = text.find("a: ", at) + 3;
        text.replace(from, text.find('\n', from) - from, values);
    }
    return count;
}

}  // namespace tavrel::testing
