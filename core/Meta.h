#pragma once

#include <string>

#include "core/MetaBase.h"

// A metadata entry with a value of type T (the engine uses std::string).
template <typename T>
class Meta : public MetaBase
{
public:
    Meta(const std::string& name, const T& value) : MetaBase(name), m_Value(value) {}
    ~Meta() override {}

    const T& getValue() const { return m_Value; }
    // The same text for every T.
    virtual const char* className() const { return "Meta-T"; }

private:
    T m_Value;
};
