#include "platform/system/error_text.h"

#include <cerrno>

namespace platform {

namespace {

struct Entry {
  int err;
  const char* text;  // cp1252
};

constexpr Entry kTexts[] = {
    {EPERM, "op\xE9ration non permise"},
    {ENOENT, "fichier ou dossier introuvable"},
    {EIO, "erreur d'entr\xE9" "e-sortie"},
    {E2BIG, "liste d'arguments trop longue"},
    {ENOEXEC, "ce fichier n'est pas un programme"},
    {EBADF, "fichier non ouvert"},
    {ECHILD, "aucun processus fils"},
    {EAGAIN, "ressource momentan\xE9ment indisponible"},
    {ENOMEM, "m\xE9moire insuffisante"},
    {EACCES, "acc\xE8s refus\xE9"},
    {EBUSY, "fichier ou p\xE9riph\xE9rique occup\xE9"},
    {EEXIST, "le fichier existe d\xE9j\xE0"},
    {EXDEV, "d\xE9placement impossible d'un disque \xE0 un autre"},
    {ENOTDIR, "un \xE9l\xE9ment du chemin n'est pas un dossier"},
    {EISDIR, "c'est un dossier"},
    {EINVAL, "argument invalide"},
    {ENFILE, "trop de fichiers ouverts dans le syst\xE8me"},
    {EMFILE, "trop de fichiers ouverts"},
    {ETXTBSY, "fichier programme occup\xE9"},
    {EFBIG, "fichier trop gros"},
    {ENOSPC, "plus de place sur le disque"},
    {EROFS, "disque en lecture seule"},
    {EMLINK, "trop de liens"},
    {ENAMETOOLONG, "nom de fichier trop long"},
    {ENOTEMPTY, "le dossier n'est pas vide"},
    {ELOOP, "trop de liens symboliques"},
    {EDQUOT, "quota de disque d\xE9pass\xE9"},
    {ESTALE, "fichier r\xE9seau p\xE9rim\xE9"},
    {ETIMEDOUT, "d\xE9lai d\xE9pass\xE9"},
    {EINTR, "appel interrompu"},
    {ENODEV, "p\xE9riph\xE9rique introuvable"},
    {ENXIO, "p\xE9riph\xE9rique ou adresse introuvable"},
};

}  // namespace

std::string ErrorText(int err) {
  for (const Entry& e : kTexts)
    if (e.err == err) return e.text;
  return "erreur du syst\xE8me n\xB0 " + std::to_string(err);
}

}  // namespace platform
