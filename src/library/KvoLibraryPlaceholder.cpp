// replaced by the library records
