// E-mail message file (.eml): the template "CRefEML.txt" of the program
// folder with its tags filled and the export attached in base64.
#pragma once

#include <string>

// Tags of the template, each replaced at its first occurrence in a line:
// "[EMETTEUR]", "[DESTINATAIRE:CC]", "[DESTINATAIRE:CCI]" (removed),
// "[DESTINATAIRE:A]" (recipient), "[OBJET]" (subject), "[MESSAGE]" (message
// text), "[NOMFICHIER]" (attachment's file name); a line holding
// "[FICHIERBASE64]" is replaced by the attachment in base64 lines of 76.
// Values never carry a line break into a header: CR and LF are removed from
// the recipient, the subject and the file name; a non-ASCII subject or
// recipient becomes RFC 2047 encoded words and a non-ASCII file name
// parameter an RFC 2231 parameter (windows-1252). The message keeps its line
// breaks (as CR LF) in the body. Tags are looked up in the template line
// only, never in an inserted value.
// False when the template cannot be read or the output cannot be created or
// fully written; an attachment that cannot be opened leaves the message
// without its base64 body (still true).
bool WriteEmlFile(const char* attachmentPath, const char* outputPath, const char* fileName,
                  const char* recipient, const char* subject, const char* message);

// Pieces, exposed for tests.
std::string Base64Encode(const std::string& bytes);
// RFC 2047 encoded words ("=?windows-1252?B?...?=", at most 75 characters
// each, folded with CR LF and a blank) when the text holds a byte outside
// printable ASCII; the text unchanged otherwise.
std::string EncodeHeaderWords(const std::string& text);
