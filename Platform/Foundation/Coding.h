#pragma once

#include <memory>

namespace ns {

class KeyedArchiver;
class KeyedUnarchiver;
class Object;

// An object that can archive itself. Decoding makes the instance through ClassRegistry (under
// its className(), which must be registered) and then calls initWithCoder, which returns the object
// or nullptr when the archive does not describe a valid one.
class Coding {
 public:
  virtual ~Coding() = default;
  virtual void encodeWithCoder(KeyedArchiver& coder) = 0;
  virtual std::shared_ptr<Object> initWithCoder(KeyedUnarchiver& coder) = 0;
};

}  // namespace ns
