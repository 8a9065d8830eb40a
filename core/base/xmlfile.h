#ifndef QUORVAL_CORE_BASE_XMLFILE_H
#define QUORVAL_CORE_BASE_XMLFILE_H

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QString>

#include <cstddef>

// The failure of an XML file operation: thrown and caught by value. Every message begins
// "ERR:  ".
class TXmlFileException
{
public:
    enum TExceptionType
    {
        FILE_ERROR = 0, // the file cannot be read, opened for reading, or is not writable
        DATA_ERROR = 1  // everything else: content, structure, names, writing
    };

    TXmlFileException(const QString &message, TExceptionType type);

    QString d_message;
    TExceptionType d_type;
};

// The bytes of a data file, checked as TXmlFile::Read_File checks a file but mapped rather than
// read, whatever its size: only the pages being read take memory, and Release gives back those
// read. (A file that another program shortens while it is mapped ends the program with SIGBUS
// when its lost pages are touched.)
class TFileBytes
{
public:
    // Throws TXmlFileException as Read_File does, but for the size.
    explicit TFileBytes(const QString &file_name);
    ~TFileBytes();
    TFileBytes(const TFileBytes &) = delete;
    TFileBytes &operator=(const TFileBytes &) = delete;

    const char *Data() const { return d_data; }
    std::size_t Size() const { return d_size; }
    // The bytes before end are read: their pages leave the process's memory (touched again,
    // they are read again from the file).
    void Release(std::size_t end) const;
    // The same for the bytes from begin to end (of any thread).
    void Release(std::size_t begin, std::size_t end) const;
    // The bytes as Read_File gives them; throws TXmlFileException for a file beyond 1 GiB.
    QByteArray Copy() const;

private:
    QString d_file_name;
    void *d_map;
    const char *d_data;
    std::size_t d_size;
};

// An XML data file that identifies itself by the tag name of its root element and carries its
// format version in the root attribute "File_Version". Used as a local object for one open or
// one save; every failure is thrown as TXmlFileException.
class TXmlFile
{
public:
    TXmlFile();
    ~TXmlFile();
    TXmlFile(const TXmlFile &) = delete;
    TXmlFile &operator=(const TXmlFile &) = delete;

    // Reading.
    void Open(const QString &identification, int *version, bool namespace_processing);
    void Open_Data(const QByteArray &data, const QString &identification, int *version,
                   bool namespace_processing);

    // The steps of Open for a reader that looks at the bytes before the DOM does. Read_File
    // checks and reads a file as Open does; Checked_Text gives the text of bytes as the parser
    // decodes it, after the safety checks that Open (from_file) or Open_Data run before any
    // parse, throwing what they would throw; Open_File_Data finishes Open on bytes that
    // Read_File gave, without reading the file again.
    static QByteArray Read_File(const QString &file_name);
    static QString Checked_Text(const QByteArray &data, bool from_file);
    // The same checks, made on the bytes themselves in one pass where the document is plain
    // UTF-8 (valid, no byte order mark, UTF-8 or no declared encoding), which every parser
    // decodes alike: true then, without decoding. Otherwise false with the checked text in
    // *text. Throws what Checked_Text throws.
    static bool Check_Bytes(const QByteArray &data, bool from_file, QString *text);
    void Open_File_Data(const QByteArray &data, const QString &identification, int *version,
                        bool namespace_processing);

    QString Read_Text_Node(const QDomElement *node, bool optional) const;
    QString Read_Text_Node(const QDomNode *node, bool optional) const;
    QString Read_Attribute(const QDomElement *node, const QString &name, bool optional) const;
    QString Read_Attribute(const QDomNode *node, const QString &name, bool optional) const;
    QDomElement Get_Node(const QDomElement *node, const QString &name, bool optional) const;
    QDomElement Get_Node(const QDomNode *node, const QString &name, bool optional) const;
    QDomElement Get_Sibling_Node(const QDomElement *current_node, const QString &name,
                                 bool optional) const;
    QDomNode Get_First_Node(const QDomElement *parent, bool optional) const;
    QDomNode Get_First_Node(const QDomNode *parent, bool optional) const;
    QDomNode Get_Sibling_Node(const QDomNode *current_node, bool optional) const;

    // Building and writing.
    void Clear();
    void Reset(const QString &identification, int version);
    void Reset(const QString &doctype_name, const QString &identification, int version);
    QDomElement Create_Node(QDomElement *parent, const QString &name);
    void Write_Text_Node(QDomElement *node, const QString &value);
    void Write_Text_Node(QDomElement *node, const double &value, int precision);
    void Write_Text_Node(QDomElement *node, int value);
    void Write_Attribute(QDomElement *node, const QString &name, const QString &value);
    void Write_Attribute(QDomElement *node, const QString &name, const double &value,
                         int precision);
    void Write_Attribute(QDomElement *node, const QString &name, int value);
    // *in_place (when given) tells whether the file was written in place (see SafeWrite);
    // *written (when given) receives the bytes written.
    void Write_File(bool compact, bool *in_place = nullptr, QByteArray *written = nullptr);
    void Write_Data(QByteArray *data, bool compact);

    // The identification and document type name found by the last successful open.
    const QString &Identification() const { return d_identification; }
    const QString &Doctype_Name() const { return d_doctype_name; }

private:
    QDomDocument d_document;

public:
    QDomElement d_root_node;
    QString d_file_name;

private:
    QString d_identification;
    QString d_doctype_name;

    void Parse(const QByteArray &data, bool from_file, bool namespace_processing);
    void Check_Root(const QString &identification, int *version);
    QByteArray Serialise(bool compact) const;
};

// Helpers of the readers that look at a document's bytes.
namespace XmlText {

// The length of the UTF-8 sequence at p (before end), a character that XML allows and that every
// decoder reads alike; 0 for anything else: a sequence that is not valid or not complete, a
// surrogate, a byte order mark (Qt's XML input source drops one at the start of each block it
// decodes), a noncharacter.
int Plain_Utf8_Length(const unsigned char *p, const unsigned char *end);

} // namespace XmlText

#endif
