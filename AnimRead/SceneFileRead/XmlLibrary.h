#pragma once
// The XML library's functions, opened on first use as the importer's are: few files need them.
#include <libxml/xmlreader.h>

namespace tavrel {

#define TAVREL_XML_FUNCTIONS(X)     \
    X(xmlReaderForFile)             \
    X(xmlTextReaderRead)            \
    X(xmlTextReaderNodeType)        \
    X(xmlTextReaderConstLocalName)  \
    X(xmlTextReaderConstValue)      \
    X(xmlTextReaderMoveToAttribute) \
    X(xmlTextReaderMoveToElement)   \
    X(xmlTextReaderIsEmptyElement)  \
    X(xmlFreeTextReader)            \
    X(xmlReadFile)                  \
    X(xmlFreeDoc)                   \
    X(xmlDocGetRootElement)         \
    X(xmlUnlinkNode)                \
    X(xmlFreeNode)                  \
    X(xmlAddChild)                  \
    X(xmlBufferCreate)              \
    X(xmlNodeDump)                  \
    X(xmlBufferContent)             \
    X(xmlBufferLength)              \
    X(xmlBufferFree)                \
    X(xmlInitParser)

struct XMLLIBRARY {
#define TAVREL_DECLARE_FUNCTION(name) decltype(&::name) name = nullptr;
    TAVREL_XML_FUNCTIONS(TAVREL_DECLARE_FUNCTION)
#undef TAVREL_DECLARE_FUNCTION
};

// Null when the library is not installed.
const XMLLIBRARY* Xml();

// Files are read without the network and without messages.
constexpr int kXmlOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

}  // namespace tavrel
