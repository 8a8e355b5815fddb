#pragma once

#include <functional>
#include <vector>

namespace hourlink {

// The root of the objects that events name as their sender.
class TObject {
public:
    TObject() = default;
    virtual ~TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

enum class TOperation { opInsert, opRemove };

// A component that can refer to other components and be told when one of them goes away, so that it never
// keeps a reference to a destroyed one; and that has a step run once its stored properties have been set.
class TComponent : public TObject {
public:
    TComponent() = default;
    // Tells every component linked with FreeNotification that this one is being removed.
    ~TComponent() override;

    // Links the two components both ways: whichever goes first, the other gets Notification(…, opRemove).
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // The after-loading step, run once the stored properties have been assigned.
    virtual void Loaded() {}

protected:
    // Removal notification: the component is being removed.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void unlink(TComponent* component);

    std::vector<TComponent*> m_freeNotifies;
};

} // namespace hourlink
