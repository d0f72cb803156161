// PAM for the password components: the login password checked through a
// dialogue (the guardian's prompt, or a test's), the user's name, and the
// components installed for the saver programs.
#include <pwd.h>
#include <security/pam_appl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "orvo/lock_link.h"
#include "orvo/password_components.h"
#include "pam_replies.h"

namespace orvo::platform {

void DropReplies(pam_response* replies, int count) {
  for (int j = 0; j < count; ++j) {
    if (replies[j].resp != nullptr) {
      WipeSecret(replies[j].resp, std::strlen(replies[j].resp));
      std::free(replies[j].resp);
    }
  }
  std::free(replies);
}

namespace {

struct Conversation {
  PamDialogue* dialogue;
  bool cancelled;
};

// Puts every question and message of PAM to the dialogue, in order.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data) {
  auto* c = static_cast<Conversation*>(data);
  if (count <= 0 || count > PAM_MAX_NUM_MSG) return PAM_CONV_ERR;
  auto* replies = static_cast<pam_response*>(std::calloc(static_cast<std::size_t>(count), sizeof(pam_response)));
  if (replies == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const char* text = messages[i]->msg != nullptr ? messages[i]->msg : "";
    switch (messages[i]->msg_style) {
      case PAM_PROMPT_ECHO_OFF:
      case PAM_PROMPT_ECHO_ON:
        replies[i].resp = c->dialogue->Ask(text, messages[i]->msg_style == PAM_PROMPT_ECHO_ON);
        if (replies[i].resp == nullptr) {
          c->cancelled = true;
          DropReplies(replies, i);
          return PAM_CONV_ERR;
        }
        break;
      case PAM_ERROR_MSG:
        c->dialogue->Tell(text, true);
        break;
      case PAM_TEXT_INFO:
        c->dialogue->Tell(text, false);
        break;
      default:
        DropReplies(replies, i);
        return PAM_CONV_ERR;  // a kind of message we cannot put to anyone
    }
  }
  *responses = replies;
  return PAM_SUCCESS;
}

PamOutcome AuthenticationOutcome(int status, bool cancelled) {
  switch (status) {
    case PAM_SUCCESS: return PamOutcome::kAccepted;
    case PAM_AUTH_ERR:
    case PAM_USER_UNKNOWN:
    case PAM_MAXTRIES:
    case PAM_CRED_INSUFFICIENT: return PamOutcome::kWrong;
    case PAM_PERM_DENIED: return PamOutcome::kRefused;
    case PAM_CONV_ERR: return cancelled ? PamOutcome::kCancelled : PamOutcome::kUnavailable;
    default: return PamOutcome::kUnavailable;
  }
}

}  // namespace

std::string CurrentUserName() {
  const passwd* entry = getpwuid(getuid());
  if (entry != nullptr && entry->pw_name != nullptr) return entry->pw_name;
  const char* user = std::getenv("USER");
  return user != nullptr ? user : "";
}

PamResult PamAuthenticate(const char* service, const std::string& user, PamDialogue& dialogue,
                          const char* tty) {
  PamResult result;
  if (user.empty()) {
    result.message = "Cannot tell who is logged in";
    return result;
  }
  Conversation data{&dialogue, false};
  pam_conv conversation{Converse, &data};
  pam_handle_t* handle = nullptr;
  int status = pam_start(service, user.c_str(), &conversation, &handle);
  if (status != PAM_SUCCESS) {
    result.message = "PAM service \"" + std::string(service) + "\" cannot be started";
    return result;
  }
  if (tty != nullptr && *tty != '\0') pam_set_item(handle, PAM_TTY, tty);
  status = pam_authenticate(handle, 0);
  result.outcome = AuthenticationOutcome(status, data.cancelled);
  if (result.outcome == PamOutcome::kAccepted) {
    status = pam_acct_mgmt(handle, 0);
    if (status == PAM_NEW_AUTHTOK_REQD) {
      // The user proved who they are; only the password's age is wrong.
      result.outcome = PamOutcome::kAcceptedExpired;
    } else if (status != PAM_SUCCESS) {
      result.outcome = data.cancelled ? PamOutcome::kCancelled : PamOutcome::kRefused;
      result.message = pam_strerror(handle, status);
    }
  } else if (result.outcome == PamOutcome::kRefused || result.outcome == PamOutcome::kUnavailable) {
    result.message = pam_strerror(handle, status);
  }
  if (result.outcome == PamOutcome::kAccepted || result.outcome == PamOutcome::kAcceptedExpired) {
    pam_setcred(handle, PAM_REFRESH_CRED);  // renews tickets where the stack keeps any
    status = PAM_SUCCESS;
  }
  pam_end(handle, status);
  return result;
}

void InstallPasswordComponents(const char* service) {
  const std::string pam_service = service != nullptr ? service : kPamService;
  RegisterPasswordComponents(nullptr, [pam_service](HWND) {
    PamChangePassword(pam_service.c_str(), CurrentUserName());
  });
  lock::InstallAnimationSide();
}

}  // namespace orvo::platform
