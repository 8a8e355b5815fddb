#include "app/InstanceRequests.h"

#include <QApplication>
#include <QTimer>

#include "app/Main.h"
#include "platform/LiveState.h"
#include "platform/SingleInstance.h"
#include "platform/WindowActivation.h"

namespace hourlink {
namespace {

// How often a raise that waits for a modal box looks again.
constexpr int kModalPollMs = 100;

std::string Field(const InstanceMessage& message, const char* key) {
    const auto found = message.fields.find(key);
    return found == message.fields.end() ? std::string() : found->second;
}

} // namespace

InstanceRequests::InstanceRequests(SingleInstance& instance) {
    m_wait = new QTimer(this);
    m_wait->setInterval(kModalPollMs);
    connect(m_wait, &QTimer::timeout, this, &InstanceRequests::BringForwardWhenFree);
    instance.SetHandler([this](const InstanceMessage& request) { return Answer(request); });
}

void InstanceRequests::Attach(TMainForm& form) {
    m_form = &form;
}

InstanceMessage InstanceRequests::Answer(const InstanceMessage& request) {
    InstanceMessage reply;
    if (request.word == kStateRequest) {
        // A query only: it never brings the window forward.
        if (m_form == nullptr || !m_form->Created()) {
            reply.word = "error";
            reply.reason = kNotReadyError;
            return reply;
        }
        return StateReply(m_form->CurrentState());
    }
    if (request.word != kRaiseRequest) {
        reply.word = "error";
        reply.reason = kUnknownRequestError;
        return reply;
    }
    // The newest start's id is the one the desktop waits for.
    m_startupId = Field(request, kStartupIdField);
    m_activationToken = Field(request, kActivationTokenField);
    // After the reply has gone: the second start need not wait for the window.
    QTimer::singleShot(0, this, &InstanceRequests::BringForwardWhenFree);
    reply.word = "ok";
    return reply;
}

void InstanceRequests::BringForwardWhenFree() {
    if (QApplication::activeModalWidget() != nullptr || m_form == nullptr || !m_form->Created()) {
        m_wait->start();
        return;
    }
    m_wait->stop();
    m_form->BringForward(WindowActivation(std::move(m_startupId), std::move(m_activationToken)));
    m_startupId.clear();
    m_activationToken.clear();
}

} // namespace hourlink
