#pragma once

#include <utility>

// Owns one operating-system handle together with its release function, chosen
// by a traits class:
//   using HandleType = ...;
//   static HandleType Invalid();                 // the empty value
//   static bool IsValid(HandleType Handle);      // false for every "no handle" value
//   static bool Release(HandleType Handle);      // true when the handle was released
template <typename TTraits>
class FScopedHandle
{
public:
	using HandleType = typename TTraits::HandleType;

	FScopedHandle() noexcept : Handle(TTraits::Invalid()) {}
	explicit FScopedHandle(HandleType InHandle) noexcept : Handle(InHandle) {}
	~FScopedHandle() { Reset(); }

	FScopedHandle(const FScopedHandle&) = delete;
	FScopedHandle& operator=(const FScopedHandle&) = delete;

	FScopedHandle(FScopedHandle&& Other) noexcept : Handle(Other.Detach()) {}
	FScopedHandle& operator=(FScopedHandle&& Other) noexcept
	{
		if (this != &Other)
		{
			Reset(Other.Detach());
		}
		return *this;
	}

	HandleType Get() const noexcept { return Handle; }
	bool IsValid() const noexcept { return TTraits::IsValid(Handle); }
	explicit operator bool() const noexcept { return IsValid(); }

	// Releases the current handle (if any) and takes the new one.
	void Reset(HandleType NewHandle = TTraits::Invalid()) noexcept
	{
		if (TTraits::IsValid(Handle))
		{
			// Not retried when the system reports a failure: the handle may be gone all the same.
			TTraits::Release(Handle);
		}
		Handle = NewHandle;
	}

	HandleType Detach() noexcept { return std::exchange(Handle, TTraits::Invalid()); }

private:
	HandleType Handle;
};
