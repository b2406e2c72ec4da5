#include "AnimRead/SceneFileRead/XmlLibrary.h"

#include <memory>

#include "base/SharedLibrary.h"

namespace tavrel {

const XMLLIBRARY* Xml() {
    static const std::unique_ptr<XMLLIBRARY> library = [] {
        auto table = SharedLibrary::Load<XMLLIBRARY>({"libxml2.so.2"},
                                                     [](SharedLibrary& files, XMLLIBRARY& table) {
                                                         bool found = true;
                                                         TAVREL_XML_FUNCTIONS(TAVREL_FIND_FUNCTION)
                                                         return found;
                                                     });
        // Its globals are set up once, before threads (the gallery's pictures) read with it.
        if (table) table->xmlInitParser();
        return table;
    }();
    return library.get();
}

}  // namespace tavrel
