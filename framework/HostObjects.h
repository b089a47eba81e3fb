#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Bool16.h"
#include "platform/Api.h"
#include "platform/Object.h"
#include "platform/Variant.h"

// The host objects as the component sees them. Each interface lists its operations in the
// declaration (slot) order of the host's framework library; callers reach them by position.
// Objects are held by shared pointers; an object handed in stays the host's. Every operation
// may raise a platform error (platform::RaisedError), which travels to the caller. The
// component calls them on the apartment's thread, inside the host's own call into it.
namespace framework {

using platform::ObjectRef;
using platform::Variant;

// One named setting of a property collection.
class PLATFORM_API ISetting : public virtual platform::Object {
  public:
    // The setting's name.
    virtual std::string Name() const = 0;
    // The setting's value (a copy of the variant).
    virtual Variant Value() const = 0;
    // Replaces the value.
    virtual void SetValue(const Variant& value) = 0;
};

// The host library's property collection: settings kept by name. Add refuses a name that is
// already present with "This key is already associated with an element of this collection"
// (457) and changes nothing; Item of an unknown name raises "Subscript out of range" (9).
class PLATFORM_API IPropertyCollection : public virtual platform::Object {
  public:
    // Adds a setting; returns it.
    virtual std::shared_ptr<ISetting> Add(const std::string& name, const Variant& value) = 0;
    // The setting of a name (text), or at a 1-based position (number): the same object each time.
    virtual std::shared_ptr<ISetting> Item(const Variant& index) const = 0;
    // How many settings the collection holds.
    virtual int32_t Count() const = 0;
};

// One entry of a message.
struct MessageEntry {
    std::string Name;
    Variant Value;
};

// A message: named entries in the order they were added. Receivers compare names after
// lower-casing and ignore names they do not handle.
class PLATFORM_API IMessage : public virtual platform::Object {
  public:
    // The entries in order.
    virtual const std::vector<MessageEntry>& Entries() const = 0;
};

// The host library's message builder.
class PLATFORM_API IMessageBuilder : public virtual platform::Object {
  public:
    // Appends an entry.
    virtual void Add(const std::string& name, const Variant& value) = 0;
    // Removes every entry.
    virtual void Clear() = 0;
    // A message holding the entries added so far (a new object; the builder keeps its entries).
    virtual std::shared_ptr<IMessage> Message() const = 0;
};

// The host's display: the prompt, the user's entry with its cursor, and the error line.
class PLATFORM_API IDisplay : public virtual platform::Object {
  public:
    // Handles "userinput alignment" (0 left, 1 right); other names are ignored.
    virtual void ReceiveMessage(const std::shared_ptr<IMessage>& message) = 0;
    virtual void SetPrompt(const std::string& text) = 0;
    virtual void SetUserInput(const std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;
    // A line of information for the employee (the host's own use).
    virtual void ShowInformation(const std::string& text) = 0;
    // Empties prompt, entry and error line.
    virtual void Clear() = 0;
    virtual void ShowCursor(VBool visible) = 0;
    virtual void SetCursorPosition(int16_t position) = 0;
};

// The host's step sequence of one punch.
class PLATFORM_API ISteps : public virtual platform::Object {
  public:
    // The step of a name (an IStep); raises "Subscript out of range" (9) when there is none.
    virtual ObjectRef Item(const std::string& name) const = 0;
    virtual VBool Exists(const std::string& name) const = 0;
};

// One field of a punch record.
class PLATFORM_API IField : public virtual platform::Object {
  public:
    virtual std::string Name() const = 0;
    virtual Variant Value() const = 0;
    // Assigns the field's value; raises when the field refuses the value's kind.
    virtual void SetValue(const Variant& value) = 0;
};

// A punch record: the fields of one row of the clock data, reached by name.
class PLATFORM_API IRecord : public virtual platform::Object {
  public:
    // The record's name: "" for the punch's own record, else the extra record's name.
    virtual std::string Name() const = 0;
    // The field of a name; raises "Subscript out of range" (9) for a field the record lacks.
    virtual std::shared_ptr<IField> Item(const std::string& name) = 0;
};

// The names of the extra records a punch needs.
class PLATFORM_API IRecordNames : public virtual platform::Object {
  public:
    // Adds a name with a second text (unused by the component: it passes "").
    virtual void Add(const std::string& name, const std::string& text) = 0;
};

// The moment of the punch as two date values: Date (the day) and Time (the time of day).
class PLATFORM_API IPunchDateTime : public virtual platform::Object {
  public:
    virtual Variant Date() const = 0;
    virtual Variant Time() const = 0;
};

// An error of a collection of errors.
struct ErrorEntry {
    int32_t Number = 0;
    std::string Description;
};

// The host library's error collection.
class PLATFORM_API IErrorCollection : public virtual platform::Object {
  public:
    virtual int32_t Count() const = 0;
    virtual void Add(int32_t number, const std::string& description) = 0;
    // The error at a 1-based position; raises "Subscript out of range" (9).
    virtual ErrorEntry Item(int32_t position) const = 0;
};

// One column of the current row of a recordset.
class PLATFORM_API IRecordsetField : public virtual platform::Object {
  public:
    virtual std::string Name() const = 0;
    // The value: null for an SQL NULL, a double for a real, a 32-bit integer for an integer that
    // fits, else a double; text for text.
    virtual Variant Value() const = 0;
};

// The rows a query gives, read forward.
class PLATFORM_API IRecordset : public virtual platform::Object {
  public:
    // "EOF": true when there is no current row.
    virtual VBool Eof() const = 0;
    // The column of a name in the current row; raises "Item not found" (3265) for an unknown
    // column and "No current record" (3021) at the end.
    virtual std::shared_ptr<IRecordsetField> Fields(const std::string& name) const = 0;
    virtual void MoveNext() = 0;
    virtual void Close() = 0;
};

// The host's clock database.
class PLATFORM_API IDatabase : public virtual platform::Object {
  public:
    virtual VBool IsOpen() const = 0;
    // The connection text the host set: a file path or "sqlite:PATH".
    virtual std::string ConnectString() const = 0;
    virtual void SetConnectString(const std::string& text) = 0;
    // Opens the database named by the connection text; raises with the engine's description.
    virtual void Open(const std::string& connect_string) = 0;
    // Runs query text in the host's SQL dialect and gives its rows.
    virtual std::shared_ptr<IRecordset> Execute(const std::string& sql) = 0;
    virtual void Close() = 0;
};

// The host library's global object.
class PLATFORM_API IGlobal : public virtual platform::Object {
  public:
    // The clock database (the same object each time).
    virtual std::shared_ptr<IDatabase> Database() = 0;
};

}  // namespace framework
