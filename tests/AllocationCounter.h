#pragma once
// Counts heap allocations made by the current thread while a scope is open.
class AllocationScope
{
public:
  AllocationScope();
  ~AllocationScope();
  long Count() const;

private:
  long mStart;
};
