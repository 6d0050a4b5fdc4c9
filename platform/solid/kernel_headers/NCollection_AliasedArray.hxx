// The kernel's packaged headers lack this one, which its triangulation
// header includes. This stand-in declares the array with the kernel's own
// members so the triangulation header compiles; body.cpp reads meshes only
// through the kernel's exported copies (MapNodeArray, MapTriangleArray), so
// no code of ours depends on this layout.
#ifndef _NCollection_AliasedArray_HeaderFile
#define _NCollection_AliasedArray_HeaderFile

#include <Standard.hxx>
#include <Standard_DefineAlloc.hxx>
#include <Standard_Integer.hxx>
#include <Standard_OutOfRange.hxx>
#include <Standard_TypeMismatch.hxx>

#include <utility>

template <int MyAlignSize = 16>
class NCollection_AliasedArray {
 public:
  DEFINE_STANDARD_ALLOC

  Standard_Integer Stride() const { return myStride; }
  Standard_Integer Size() const { return mySize; }
  Standard_Integer Length() const { return mySize; }
  Standard_Boolean IsEmpty() const { return mySize == 0; }
  Standard_Integer Lower() const { return 0; }
  Standard_Integer Upper() const { return mySize - 1; }
  Standard_Boolean IsDeletable() const { return myDeletable; }
  Standard_Boolean IsAllocated() const { return myDeletable; }
  const Standard_Byte* RawData() const { return myData; }

  NCollection_AliasedArray(Standard_Integer theStride)
      : myData(NULL), myStride(theStride), mySize(0), myDeletable(Standard_False) {}
  NCollection_AliasedArray(Standard_Integer theStride, Standard_Integer theLength)
      : myData(NULL), myStride(theStride), mySize(theLength), myDeletable(Standard_True) {
    if (theLength > 0)
      myData = (Standard_Byte*)Standard::AllocateAligned(std::size_t(mySize) * std::size_t(myStride), MyAlignSize);
  }
  template <typename Type_t>
  NCollection_AliasedArray(const Type_t& theBegin, Standard_Integer theLength)
      : myData((Standard_Byte*)&theBegin), myStride((int)sizeof(Type_t)), mySize(theLength),
        myDeletable(Standard_False) {}
  NCollection_AliasedArray(const NCollection_AliasedArray& theOther)
      : myData(NULL), myStride(theOther.myStride), mySize(theOther.mySize), myDeletable(Standard_False) {
    if (mySize != 0) {
      myDeletable = Standard_True;
      myData = (Standard_Byte*)Standard::AllocateAligned(std::size_t(mySize) * std::size_t(myStride), MyAlignSize);
      for (std::size_t i = 0; i < std::size_t(mySize) * std::size_t(myStride); ++i) myData[i] = theOther.myData[i];
    }
  }
  NCollection_AliasedArray(NCollection_AliasedArray&& theOther)
      : myData(theOther.myData), myStride(theOther.myStride), mySize(theOther.mySize),
        myDeletable(theOther.myDeletable) {
    theOther.myDeletable = Standard_False;
  }
  ~NCollection_AliasedArray() {
    if (myDeletable) Standard::FreeAligned(myData);
  }

  NCollection_AliasedArray& Move(NCollection_AliasedArray& theOther) {
    if (&theOther == this) return *this;
    if (myDeletable) Standard::FreeAligned(myData);
    myStride = theOther.myStride;
    mySize = theOther.mySize;
    myDeletable = theOther.myDeletable;
    myData = theOther.myData;
    theOther.myDeletable = Standard_False;
    return *this;
  }

  template <typename Type_t>
  const Type_t& Value(Standard_Integer theIndex) const {
    return *reinterpret_cast<const Type_t*>(myData + std::size_t(myStride) * std::size_t(theIndex));
  }
  template <typename Type_t>
  Type_t& ChangeValue(Standard_Integer theIndex) {
    return *reinterpret_cast<Type_t*>(myData + std::size_t(myStride) * std::size_t(theIndex));
  }

 protected:
  Standard_Byte* myData;
  Standard_Integer myStride;
  Standard_Integer mySize;
  Standard_Boolean myDeletable;
};

#endif
