#pragma once

#include <string>

// A named metadata entry attached to a drawable. The value lives in Meta<T>.
class MetaBase
{
public:
    explicit MetaBase(const std::string& name) : m_Name(name) {}
    virtual MetaBase* asMeta() { return this; }
    virtual const MetaBase* asMeta() const { return this; }
    virtual ~MetaBase() {}

    // The entry's key.
    const std::string& getName() const { return m_Name; }

private:
    std::string m_Name;
};
