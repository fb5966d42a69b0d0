#pragma once
// Answers postal-code and address queries against one dictionary file. Every
// query reads the file from the top; nothing is kept between queries.
// Queries, results and the file are all code page 932 bytes.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "DictionaryReader.h"  // PostFileError
#include "MatchRecord.h"
#include "MatchRules.h"  // TPostOption
#include "WholeRecord.h"

namespace tenmari {

class TPostReference {
public:
    using TNotifyEvent = std::function<void(TPostReference& sender)>;
    using StringList = std::vector<std::string>;

    TPostReference();

    const std::string& PostFile() const { return postFile_; }
    void SetPostFile(std::string path) { postFile_ = std::move(path); }
    TPostOption PickOut() const { return pickOut_; }
    void SetPickOut(TPostOption option) { pickOut_ = option; }

    // Raised when a query finds no file, and when PostToAddress finds no record.
    TNotifyEvent OnNotPostFile;

    // A full postal code (one hyphen allowed) to the address of its first record;
    // 3 or 5 digits look up the old code. Empty when nothing matches.
    std::string PostToAddress(std::string_view query);
    // Every record whose postal code begins with the query (one hyphen allowed).
    void PostToAddressList(std::string_view query, StringList& addresses, StringList& codes);
    // Every record whose address begins with the query, or that begins the query.
    void AddressToPostList(std::string_view query, StringList& addresses, StringList& codes);

    // PostToAddress's record, whole, handed to `sink`: false, with the event
    // raised as PostToAddress raises it, when there is none.
    bool PostToAddressRecord(std::string_view query, MatchSink& sink);

    // The matches of the two list queries, handed one record at a time in file
    // order to `sink` instead of kept: for output that needs no lists, or more
    // of a record than its code and address (its readings, its line number).
    void PostToAddressEach(std::string_view query, MatchSink& sink);
    void AddressToPostEach(std::string_view query, MatchSink& sink);
    // The same, handing only match(code, address); the views last until the
    // next call of `match`.
    using MatchFn = std::function<void(std::string_view code, std::string_view address)>;
    void PostToAddressEach(std::string_view query, const MatchFn& match);
    void AddressToPostEach(std::string_view query, const MatchFn& match);

    // The same queries on whole records (WholeRecord.h): a split run joined
    // into one record, its town area given without its note and the note
    // beside it. A run matches as the line that opens it does. The first
    // alone for a code: false, with the event raised, when there is none.
    bool PostToAddressWhole(std::string_view query, WholeRecordSink& sink);
    void PostToAddressEachWhole(std::string_view query, WholeRecordSink& sink);
    void AddressToPostEachWhole(std::string_view query, WholeRecordSink& sink);

private:
    void notFound();
    bool wholePass(int rule, std::string_view query, bool firstOnly, WholeRecordSink& sink);
    void listPass(int rule, std::string_view query, StringList& addresses, StringList& codes);
    void eachPass(int rule, std::string_view query, MatchSink& sink);

    std::string postFile_;
    TPostOption pickOut_ = poptAll;
};

}  // namespace tenmari
