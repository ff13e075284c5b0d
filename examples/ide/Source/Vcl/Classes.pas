unit Classes; { stands in for the VCL source }
