// Root of the foundation classes.
#pragma once

class CSPObject {
 public:
  CSPObject() = default;
  CSPObject(const CSPObject&) = default;
  CSPObject& operator=(const CSPObject&) = default;
  virtual ~CSPObject() = default;

  // Soft failures of buffers, files and containers throw while this is true
  // and return false otherwise. Strings never consult it.
  bool throwOnError = true;
};
